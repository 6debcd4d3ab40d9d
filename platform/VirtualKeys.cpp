#include "platform/VirtualKeys.h"

#include <SDL_keycode.h>

namespace lorvane {

int VirtualKeyFromSdl(int32_t key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return 124 + (key - SDLK_F13);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_CLEAR: case SDLK_KP_CLEAR: return 12;
    case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_RETURN2: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_SELECT: return 41;
    case SDLK_EXECUTE: return 43;
    case SDLK_PRINTSCREEN: return 44;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_HELP: return 47;
    case SDLK_LGUI: return 91;
    case SDLK_RGUI: return 92;
    case SDLK_APPLICATION: case SDLK_MENU: return 93;
    case SDLK_SLEEP: return 95;
    case SDLK_KP_0: return 96;
    case SDLK_KP_MULTIPLY: return 106;
    case SDLK_KP_PLUS: return 107;
    case SDLK_KP_MINUS: return 109;
    case SDLK_KP_PERIOD: case SDLK_KP_DECIMAL: return 110;
    case SDLK_KP_DIVIDE: return 111;
    case SDLK_NUMLOCKCLEAR: return 144;
    case SDLK_SCROLLLOCK: return 145;
    case SDLK_AC_BACK: return 166;
    case SDLK_AC_FORWARD: return 167;
    case SDLK_AC_REFRESH: return 168;
    case SDLK_AC_STOP: return 169;
    case SDLK_AC_SEARCH: return 170;
    case SDLK_AC_BOOKMARKS: return 171;
    case SDLK_AC_HOME: return 172;
    case SDLK_AUDIOMUTE: case SDLK_MUTE: return 173;
    case SDLK_VOLUMEDOWN: return 174;
    case SDLK_VOLUMEUP: return 175;
    case SDLK_AUDIONEXT: return 176;
    case SDLK_AUDIOPREV: return 177;
    case SDLK_AUDIOSTOP: return 178;
    case SDLK_AUDIOPLAY: return 179;
    case SDLK_MAIL: return 180;
    case SDLK_MEDIASELECT: return 181;
    case SDLK_COMPUTER: return 182;
    case SDLK_CALCULATOR: return 183;
    case SDLK_SEMICOLON: return 186;
    case SDLK_EQUALS: case SDLK_PLUS: return 187;
    case SDLK_COMMA: return 188;
    case SDLK_MINUS: return 189;
    case SDLK_PERIOD: return 190;
    case SDLK_SLASH: return 191;
    case SDLK_BACKQUOTE: return 192;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_BACKSLASH: return 220;
    case SDLK_RIGHTBRACKET: return 221;
    case SDLK_QUOTE: return 222;
    default: return 0;
  }
}

}  // namespace lorvane
