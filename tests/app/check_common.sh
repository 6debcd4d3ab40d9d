# Shared by the shell checks, sourced after setting `check` (the name in messages) and `errors`
# (the file whose text a failure shows): a work folder removed at exit with any host still
# running, `fail`, and a resident host started and stopped through "--send".
work=$(mktemp -d)
host=""
cleanup() {
  [ -n "$host" ] && kill -9 "$host" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$check: $*" >&2
  [ -f "${errors:-}" ] && cat "$errors" >&2
  exit 1
}
# start_host PROGRAM [ARGUMENT...]: a headless host in the background, once it answers.
start_host() {
  program=$1
  shift
  "$program" --headless "$@" 2>"$errors" &
  host=$!
  tries=0
  until "$program" --send launch 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 600 ] || fail "the host never answered"
    kill -0 "$host" 2>/dev/null || fail "the host ended early"
    sleep 0.1
  done
}
# stop_host PROGRAM: "exit" sent, and the host must end with status 0.
stop_host() {
  "$1" --send exit || fail "exit was not delivered"
  status=0
  wait "$host" || status=$?
  host=""
  [ "$status" -eq 0 ] || fail "the host ended with status $status"
}
