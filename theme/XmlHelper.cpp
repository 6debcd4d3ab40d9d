#include "theme/XmlHelper.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/FileSystem.h"
#include "base/KLDTypes.h"

namespace lorvane {

namespace {

// windows-1252 0x80..0x9F; the five unassigned bytes keep their C1 code points.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum class ByteCharset { kLatin1, kLatin9, kCp1252 };

uint32_t ByteToCodePoint(unsigned char byte, ByteCharset charset) {
  if (byte < 0x80) return byte;
  if (charset == ByteCharset::kCp1252 && byte < 0xA0) return kCp1252High[byte - 0x80];
  if (charset == ByteCharset::kLatin9) {
    switch (byte) {
      case 0xA4: return 0x20AC;
      case 0xA6: return 0x0160;
      case 0xA8: return 0x0161;
      case 0xB4: return 0x017D;
      case 0xB8: return 0x017E;
      case 0xBC: return 0x0152;
      case 0xBD: return 0x0153;
      case 0xBE: return 0x0178;
      default: break;
    }
  }
  return byte;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Length of the run of ASCII bytes from text[from]. Whole files pass through the converters, so
// the run is tested eight bytes a step.
size_t AsciiRun(const std::string& text, size_t from) {
  size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (word & 0x8080808080808080ULL) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i - from;
}

std::string BytesToUtf8(const std::string& bytes, ByteCharset charset) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (size_t i = 0; i < bytes.size();) {
    size_t run = AsciiRun(bytes, i);
    out.append(bytes, i, run);
    i += run;
    if (i < bytes.size()) AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(bytes[i++]), charset));
  }
  return out;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid
// (overlong forms, surrogates and values beyond U+10FFFF included).
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t& cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  size_t length;
  uint32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    length = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t k) -> uint32_t {
    auto a = static_cast<unsigned char>(bytes[k]);
    auto b = static_cast<unsigned char>(bytes[k + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The encoding named in the XML declaration, lower case; empty when there is none.
std::string DeclaredEncoding(const std::string& bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) return std::string();
  size_t end = bytes.find("?>");
  if (end == std::string::npos) return std::string();
  std::string declaration = bytes.substr(0, end);
  size_t at = declaration.find("encoding");
  if (at == std::string::npos) return std::string();
  at = declaration.find_first_of("\"'", at);
  if (at == std::string::npos) return std::string();
  size_t close = declaration.find(declaration[at], at + 1);
  if (close == std::string::npos) return std::string();
  return Lower(declaration.substr(at + 1, close - at - 1));
}

// Line and column (both from 1, the column counted in characters) of a byte offset.
std::string Position(const std::string& text, ptrdiff_t offset) {
  size_t end = offset < 0 ? 0 : std::min(static_cast<size_t>(offset), text.size());
  int line = 1;
  size_t lineStart = 0;
  while (const void* br = std::memchr(text.data() + lineStart, '\n', end - lineStart)) {
    ++line;
    lineStart = static_cast<size_t>(static_cast<const char*>(br) - text.data()) + 1;
  }
  size_t column = 1;
  for (size_t i = lineStart; i < end; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The writer puts one space on each side of a comment's text; taking them off again keeps a
// load followed by a save from widening every comment.
std::string CommentText(const char* value) {
  std::string text = value;
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsTextNode(const TKLDXmlNode& node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

}  // namespace

// ---------------------------------------------------------------- reader

TKLDXMLHelper::TKLDXMLHelper(const std::string& fileName) { Create(fileName); }

void TKLDXMLHelper::Create(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0)
    throw TKLDException("Error parsing file " + fileName + ":\r\nFile does not exist");
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream bytes;
  if (!S_ISREG(st.st_mode) || !in || !(bytes << in.rdbuf()))
    throw TKLDException("Error parsing file " + fileName + ":\r\nFile could not be read");
  CreateFromText(bytes.str(), fileName);
}

void TKLDXMLHelper::CreateFromText(const std::string& content, const std::string& fileName) {
  fileName_ = fileName;
  current_ = TKLDXmlNode();
  comment_.clear();
  std::string text = XmlBytesToUtf8(content);
  pugi::xml_parse_result result = document_.load_buffer(
      text.data(), text.size(), pugi::parse_default | pugi::parse_comments, pugi::encoding_utf8);
  if (!result) {
    document_.reset();
    throw TKLDException("Error parsing file " + fileName + ":\r\n" + result.description() +
                        " at " + Position(text, result.offset));
  }
}

bool TKLDXMLHelper::FindRootNode(const std::string& name, TKLDXmlNode& node) {
  comment_.clear();
  TKLDXmlNode root = document_.document_element();
  if (root && name == root.name()) {
    node = root;
    current_ = root;
    return true;
  }
  current_ = TKLDXmlNode();
  return false;
}

bool TKLDXMLHelper::Step(TKLDXmlNode parent, TKLDXmlNode& node, const char* name) {
  comment_.clear();
  if (!parent) parent = document_.document_element();
  TKLDXmlNode next = (node && node.parent() == parent) ? node.next_sibling() : parent.first_child();
  for (; next; next = next.next_sibling()) {
    if (next.type() == pugi::node_comment) {
      comment_ = CommentText(next.value());
    } else if (next.type() == pugi::node_element && (!name || std::strcmp(name, next.name()) == 0)) {
      break;
    }
  }
  node = next;
  current_ = next;
  return static_cast<bool>(next);
}

bool TKLDXMLHelper::NextElement(TKLDXmlNode parent, TKLDXmlNode& node) {
  return Step(parent, node, nullptr);
}

bool TKLDXMLHelper::FindElement(TKLDXmlNode parent, TKLDXmlNode& node, const std::string& name) {
  return Step(parent, node, name.c_str());
}

std::string TKLDXMLHelper::CurrentNodeName() const { return current_ ? current_.name() : ""; }

std::string TKLDXMLHelper::GetAttribute(const std::string& name) const {
  return current_.attribute(name.c_str()).value();
}

std::string TKLDXMLHelper::GetValue() const {
  if (current_.type() != pugi::node_element) return std::string();
  // A text element's only content is one piece of text: a comment or a child element beside
  // the text, or text split by CDATA, makes it something else, with no value.
  TKLDXmlNode child = current_.first_child();
  if (!child || child.next_sibling() || !IsTextNode(child)) return std::string();
  return child.value();
}

bool TKLDXMLHelper::GetCoordinates(int& x, int& y) const {
  return ParseCoordinates(GetValue(), x, y);
}

bool TKLDXMLHelper::GetChildAttribute(const std::string& childName, const std::string& attrName,
                                      std::string& value) const {
  for (TKLDXmlNode child = current_.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && childName == child.name()) {
      value = child.attribute(attrName.c_str()).value();
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- encoding

bool IsValidUtf8(const std::string& text) {
  uint32_t cp;
  for (size_t i = AsciiRun(text, 0); i < text.size(); i += AsciiRun(text, i)) {
    size_t length = DecodeUtf8(text, i, cp);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string XmlBytesToUtf8(const std::string& bytes) {
  if (bytes.size() >= 2) {
    auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) return Utf16ToUtf8(bytes, false);
    if (b0 == 0xFE && b1 == 0xFF) return Utf16ToUtf8(bytes, true);
  }
  std::string body = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
  // Every charset below reads ASCII as itself.
  if (AsciiRun(body, 0) == body.size()) return body;
  // Our own writers declare iso-8859-1, and people then edit the files with editors that save
  // UTF-8. Multi-byte UTF-8 almost never occurs by chance in 8-bit text, so such a file is read
  // as the UTF-8 it is rather than turned into mojibake.
  if (IsValidUtf8(body)) return body;
  std::string encoding = DeclaredEncoding(body);
  if (encoding == "iso-8859-1" || encoding == "iso8859-1" || encoding == "iso_8859-1" ||
      encoding == "latin1" || encoding == "latin-1")
    return BytesToUtf8(body, ByteCharset::kLatin1);
  if (encoding == "iso-8859-15" || encoding == "iso8859-15" || encoding == "iso_8859-15" ||
      encoding == "latin9" || encoding == "latin-9")
    return BytesToUtf8(body, ByteCharset::kLatin9);
  // windows-1252, and bytes that are not UTF-8 under any other declaration.
  return BytesToUtf8(body, ByteCharset::kCp1252);
}

// ---------------------------------------------------------------- value syntaxes

bool TryParseInteger(const std::string& text, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t result = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10 + (text[i] - '0');
    if (result > 2147483648LL) return false;
  }
  if (negative) result = -result;
  if (result > 2147483647LL) return false;
  value = static_cast<int>(result);
  return true;
}

int StrToInt(const std::string& text) {
  int value = 0;
  if (!TryParseInteger(text, value))
    throw TKLDException("'" + text + "' is not a valid integer value");
  return value;
}

int StrToIntDef(const std::string& text, int fallback) {
  int value = fallback;
  return TryParseInteger(text, value) ? value : fallback;
}

bool ParseCoordinates(const std::string& text, int& x, int& y) {
  size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  int newX, newY;
  if (!TryParseInteger(text.substr(0, comma), newX) ||
      !TryParseInteger(text.substr(comma + 1), newY))
    return false;
  x = newX;
  y = newY;
  return true;
}

namespace {
const char* const kMediaTypeNames[] = {"parent", "folder",  "playlist", "theme", "picture",
                                       "audio",  "video",   "info",     "unknown", "all"};
}

std::string MediaTypeName(int value) {
  return kMediaTypeNames[(value >= 0 && value < kMediaTypeAll) ? value : kMediaTypeAll];
}

int ParseMediaType(const std::string& text) {
  for (int i = 0; i < kMediaTypeAll; ++i)
    if (text == kMediaTypeNames[i]) return i;
  return kMediaTypeAll;
}

// ---------------------------------------------------------------- writing

const std::string& IndentText(int level) {
  static const std::string kIndent[5] = {std::string(2, ' '), std::string(8, ' '),
                                         std::string(10, ' '), std::string(16, ' '),
                                         std::string(18, ' ')};
  static const std::string kNone;
  if (level < 0) return kNone;
  return kIndent[level > 4 ? 4 : level];
}

std::string EncodeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    size_t length = DecodeUtf8(text, i, cp);
    if (length == 0) {
      // A stray byte inside the program can only come from legacy text; read it as the reader does.
      cp = ByteToCodePoint(static_cast<unsigned char>(text[i]), ByteCharset::kCp1252);
      length = 1;
    }
    i += length;
    switch (cp) {
      case '"': out += "&quot;"; continue;
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      default: break;
    }
    if (cp == '\t' || cp == '\n' || cp == '\r' || (cp >= 32 && cp <= 126))
      out += static_cast<char>(cp);
    else if (cp >= 160)
      out += "&#" + std::to_string(cp) + ";";
    // Other control characters have no place in the files and are dropped.
  }
  return out;
}

std::string YesNo(bool flag) { return flag ? "yes" : "no"; }

bool IsYes(const std::string& text) { return text == "yes"; }

void WriteXmlComment(const std::string& text, int level, std::vector<std::string>& lines) {
  std::string comment = IndentText(level - 1) + "<!-- " + EncodeXml(text) + " -->";
  size_t start = 0;
  while (true) {
    size_t br = comment.find_first_of("\r\n", start);
    if (br == std::string::npos) {
      lines.push_back(comment.substr(start));
      return;
    }
    lines.push_back(comment.substr(start, br - start));
    start = br + ((comment[br] == '\r' && br + 1 < comment.size() && comment[br + 1] == '\n') ? 2 : 1);
  }
}

std::string XmlOpenTag(const std::string& name) { return "<" + name + ">"; }

std::string XmlCloseTag(const std::string& name) { return "</" + name + ">"; }

void SaveXmlLines(const std::vector<std::string>& lines, const std::string& fileName) {
  std::string content;
  for (const auto& line : lines) {
    content += line;
    content += "\r\n";
  }
  std::string error;
  if (!WriteWholeFile(fileName, content, error)) throw TKLDException(error);
}

}  // namespace lorvane
