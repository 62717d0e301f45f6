# Sourced by tests/gui/run (its helpers and state): pictures under the MSX2+ names, the Open
# dialog's patterns, and the failures that must show a message rather than pass as nothing.

# Real YJK pictures under the names paint programs and dumps give them open in their modes:
# the pane equals vramoria-convert's picture of the same file, which reads the same names.
if [ -d "$pictures" ] && [ -f "$pictures/msxgl_IMAGE01.s12" ]; then
  check_picture "$pictures/msxgl_IMAGE01.s12"
  for extension in S10 sra scb; do
    cp "$pictures/msxgl_IMAGE01.s12" "$work/yjk.$extension"
    check_picture "$work/yjk.$extension"
  done
else
  echo "skip .s12/.sra pictures: ../shared/pictures is not there"
fi

# The Open dialog lists what the viewer opens, also under the new names and the digit rule's
# other names, and nothing else: a folder of three files shows two. The dialog starts where it
# was last used, so the folder is typed in first, as a person would go there.
listing=$work/listing
mkdir -p "$listing"
cp "$native/samples/testcard.scc" "$listing/a.s12"
cp "$native/samples/testcard.sc5" "$listing/b.S05"
printf 'not a picture' > "$listing/c.txt"
wine "$exe" >/dev/null 2>&1 &
viewer_pid=$!
if type_into_dialog "開く" "$listing"; then
  count=""
  for _ in $(seq 30); do
    count=$(probe listed "開く")
    [ "$count" = 2 ] && break
    sleep 0.2
  done
  [ "$count" = 2 ] && pass "Open dialog: lists a.s12 and b.S05, not c.txt" ||
    fail "Open dialog: listed entries" "$count"
  cancel_dialog "開く" || fail "Open dialog: Escape"
  wait_viewer >/dev/null
else
  fail "Open dialog: did not appear"; kill "$viewer_pid" 2>/dev/null; viewer_pid=""
fi

# error_box NAME TEXT: the program's error box with TEXT appears; Return closes it.
error_box() {
  local box
  box=$(wait_window "Vramoria")
  if [ -n "$box" ] && probe text "Vramoria" | grep -qF "$2"; then
    pass "$1: \"$2\""
  else
    fail "$1: no box saying \"$2\""
  fi
  [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null
  window_gone "Vramoria"
}

cp "$work/test.sc5" "$work/fail.sc5"
if start_viewer "$work/fail.sc5"; then
  # A palette file too short to hold a palette: refused with its message, nothing changes.
  printf 'A' > "$work/one.pl5"
  key ctrl+l
  type_into_dialog "パレット読み込み" "$work/one.pl5"
  error_box "1-byte palette file" "パレットファイルではありません。"
  check_pane "1-byte palette file: the picture keeps its palette" "$work/fail.sc5"
  key Down
  sleep 0.3
  key Escape

  # A name longer than the dialog's MAX_PATH buffer: the save fails with a message that says so
  # and gives the limit, instead of closing as if cancelled; nothing is written.
  long=$work/$(printf 'n%.0s' $(seq 250)).sc5
  before=$(ls "$work" | wc -l)
  for keys in ctrl+s ctrl+b; do
    dialog="名前を付けて保存"; [ "$keys" = ctrl+b ] && dialog="ビットマップ保存"
    key "$keys"
    type_into_dialog "$dialog" "$long"
    error_box "$keys with a name longer than 259 characters" "ファイル名が長すぎます。フォルダーを含めて259文字までにしてください。(GetSaveFileName: FNERR_BUFFERTOOSMALL)"
    window_gone "$dialog" || { xdotool search --onlyvisible --name "^$dialog\$" key Escape 2>/dev/null; window_gone "$dialog"; }
  done
  [ "$(ls "$work" | wc -l)" = "$before" ] && pass "long names: nothing written" || fail "long names: a file was written"
  if stop_viewer; then pass "fail.sc5: Ctrl+Q ends with code 0"; else fail "fail.sc5: Ctrl+Q"; fi
else
  fail "fail.sc5: the window did not appear"
fi
