#!/usr/bin/env bash
# The core library holds no state of its own and knows nothing of the viewer: no writable
# global variable is exported from it (nm: no B or D symbols), it calls no dialog or
# message-text function, and its includes run one way only: codec/ at the bottom (memory in,
# memory out, no operating system), palette/ below image/, platform/ knowing nothing of the
# programs, and nothing of resources/, shell/ or cli/ anywhere in the core.
# Usage: core_layers_test.sh PATH/TO/libvramoria_core.a SOURCE-ROOT [PATH/TO/libvramoria_codec.a]
set -u
lib=$1
root=$2
codec=${3:-}
passed=0
failed=0
check() {  # check NAME OUTPUT: passes when OUTPUT is empty
  if [ -z "$2" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAIL %s\n%s\n' "$1" "$2"; fi
}

# (AddressSanitizer's own markers, __odr_asan.*, are the instrumentation's, not ours.)
check "no exported writable globals" \
  "$(nm -C --defined-only "$lib" ${codec:+"$codec"} | grep -E ' [BD] ' | grep -v ' __odr_asan')"
check "no dialogs or message texts" \
  "$(nm -C --undefined-only "$lib" | grep -E 'ShowOpenDialog|ShowSaveDialog|LoadMessageText|MessageBox|LoadString')"
# includes DIRS... PATTERN: the lines of the folders' sources that include a header of PATTERN.
includes() {
  local pattern=${*: -1} files=()
  for dir in "${@:1:$#-1}"; do files+=("$root/$dir"/*.cpp "$root/$dir"/*.h); done
  grep -n "#include \"\($pattern\)/" "${files[@]}" 2>/dev/null
}
check "codec/ includes nothing above it" "$(includes codec 'image\|palette\|render\|convert\|import\|platform\|shell\|cli\|resources')"
check "codec/ calls no operating system" \
  "$(grep -n '#include <\(windows\|unistd\|fcntl\|cstdio\|stdio\|sys/\)' "$root"/codec/*)"
check "import/ includes nothing of platform/ or the programs" "$(includes import 'platform\|shell\|cli\|resources')"
check "platform/ includes nothing of the programs" "$(includes platform 'shell\|cli\|resources')"
check "palette/ includes nothing above it" "$(includes palette 'image\|render\|convert\|import\|platform')"
check "the core includes no resources/, shell/ or cli/" \
  "$(includes image palette render convert import info codec 'resources\|shell\|cli')"
check "image/ includes nothing of render/, convert/ or import/" "$(includes image 'render\|convert\|import')"
check "info/ includes nothing of platform/ or import/" "$(includes info 'platform\|import')"
check "convert/ includes nothing of import/" "$(includes convert 'import')"

echo "core layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
