#!/usr/bin/env bash
# The core library holds no state of its own and knows nothing of the viewer: no writable
# global variable is exported from it (nm: no B or D symbols), it calls no dialog or
# message-text function, and its includes run one way only (palette/ below image/, nothing of
# resources/ or shell/ in the core).
# Usage: core_layers_test.sh PATH/TO/libvramoria_core.a SOURCE-ROOT
set -u
lib=$1
root=$2
passed=0
failed=0
check() {  # check NAME OUTPUT: passes when OUTPUT is empty
  if [ -z "$2" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAIL %s\n%s\n' "$1" "$2"; fi
}

# (AddressSanitizer's own markers, __odr_asan.*, are the instrumentation's, not ours.)
check "no exported writable globals" "$(nm -C --defined-only "$lib" | grep -E ' [BD] ' | grep -v ' __odr_asan')"
check "no dialogs or message texts" \
  "$(nm -C --undefined-only "$lib" | grep -E 'ShowOpenDialog|ShowSaveDialog|LoadMessageText|MessageBox|LoadString')"
check "palette/ includes nothing above it" "$(grep -n '#include "\(image\|render\|convert\|platform\)/' "$root"/palette/*)"
check "the core includes no resources/ or shell/" \
  "$(grep -n '#include "\(resources\|shell\|cli\)/' "$root"/image/* "$root"/palette/* "$root"/render/* "$root"/convert/*)"
check "image/ includes nothing of render/ or convert/" "$(grep -n '#include "\(render\|convert\)/' "$root"/image/*)"

echo "core layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
