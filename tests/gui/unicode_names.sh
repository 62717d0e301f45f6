# Sourced by tests/gui/run (its helpers and state): names outside the system's ANSI code page
# and the Japanese texts under a Western code page. Under LANG=en_US.UTF-8 Wine's ANSI code page
# is 1252, under ja_JP.UTF-8 it is 932: "日本語" and "한글" are outside 1252, "café" and "Łódź"
# outside 932, and an ANSI program turned them into "?" or into the look-alikes "cafe", "Lodz".

# type_name TITLE PATH: types PATH into the file dialog's name field, as type_into_dialog does,
# but checks the field before pressing Enter and types again (at most three times) when a
# character went missing: xdotool types a character outside the keyboard map by remapping a
# spare key, and under load Wine now and then reads the key before the new mapping.
type_name() {
  local dialog path
  dialog=$(wait_window "$1")
  [ -n "$dialog" ] || return 1
  path=$(winpath "$2")
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key End shift+Home Delete
    xdotool type --delay 25 "$path"
    sleep 0.3
    probe text "$1" | grep -qxF "child	Edit	$path" && break
  done
  xdotool key Return
}

# unicode_round LANG OPEN-TITLE SAVE-TITLE
unicode_round() {
  local lang=$1 open_title=$2 save_title=$3 dir name pair target alike about
  export LANG=$lang
  dir=$work/unicode-${lang%%.*}
  mkdir -p "$dir/save"
  # From the command line: the window's title is the real name, the pane the picture.
  for name in café.sc5 日本語.sc5 한글.sc5; do
    cp "$work/test.sc5" "$dir/$name"
    if start_viewer "$dir/$name"; then
      pass "$lang: $name from the command line, title \"$title\""
      check_pane "$lang: $name: the picture" "$dir/$name"
      stop_viewer || fail "$lang: $name: Ctrl+Q"
    else
      fail "$lang: $name from the command line: no window \"$title\""; kill "$viewer_pid" 2>/dev/null; viewer_pid=""
    fi
  done
  # From the Open dialog.
  for name in café.sc5 日本語.sc5 한글.sc5; do
    wine "$exe" >/dev/null 2>&1 &
    viewer_pid=$!
    title="$name - Vramoria"
    if type_name "$open_title" "$dir/$name" && window=$(find_window "^${title//./[.]}\$" 30) &&
       [ -n "$window" ]; then
      pass "$lang: $name chosen in the Open dialog, title \"$title\""
      stop_viewer || fail "$lang: $name (Open dialog): Ctrl+Q"
    else
      fail "$lang: $name chosen in the Open dialog: no window \"$title\""
      kill "$viewer_pid" 2>/dev/null; viewer_pid=""
    fi
  done
  # A picture with its companion palette file, and Ctrl+L, under such names.
  cp "$native/samples/testcard.sr5" "$dir/日本語.sr5"; cp "$native/samples/testcard.pl5" "$dir/日本語.pl5"
  cp "$work/three.pl5" "$dir/café.pl5"
  if start_viewer "$dir/日本語.sr5"; then
    check_pane "$lang: 日本語.sr5 shows with 日本語.pl5's palette" "$native/samples/testcard.sr5"
    key ctrl+l
    if type_name "パレット読み込み" "$dir/café.pl5"; then
      check_pane "$lang: Ctrl+L loads café.pl5" "$native/samples/testcard.sr5" --palette-file "$work/three.pl5"
    else
      fail "$lang: Ctrl+L: no dialog \"パレット読み込み\""
    fi
    # Save As beside the look-alike, which keeps its bytes; exactly the typed name is written.
    for pair in café:cafe Łódź:Lodz; do
      target=$dir/save/${pair%%:*}.sc5 alike=$dir/save/${pair##*:}.sc5
      printf 'original' > "$alike"
      key ctrl+s
      if type_name "$save_title" "${target%.sc5}" && wait_file "$target"; then
        "$cli" "$native/samples/testcard.sr5" --palette-file "$work/three.pl5" -o "$work/expected.sc5" >/dev/null
        cmp -s "$target" "$work/expected.sc5" && pass "$lang: Save As $(basename "$target"): exactly that name, its bytes" ||
          fail "$lang: Save As $(basename "$target"): bytes differ"
      else
        fail "$lang: Save As $(basename "$target"): not written"
      fi
      [ "$(cat "$alike")" = original ] && pass "$lang: $(basename "$alike") beside it is unchanged" ||
        fail "$lang: $(basename "$alike") was replaced"
    done
    [ "$(ls "$dir/save" | wc -l)" = 4 ] && pass "$lang: Save As wrote no other file" || fail "$lang: files in save/" "$(ls "$dir/save" | tr '\n' ' ')"
    # The About box: its Japanese caption and texts under any code page.
    key ctrl+a
    about=$(wait_window "Vramoriaのバージョン情報")
    if [ -n "$about" ] && probe text "Vramoriaのバージョン情報" | grep -qF "作: Vramoria 開発チーム"; then
      pass "$lang: About box \"Vramoriaのバージョン情報\" with its Japanese text"
      xdotool windowfocus --sync "$about" key Escape 2>/dev/null
      window_gone "Vramoriaのバージョン情報" || fail "$lang: About: Escape"
    else
      fail "$lang: no About box \"Vramoriaのバージョン情報\""
    fi
    # A write-protected target: said in words, the file keeps its bytes.
    printf 'original' > "$dir/save/locked.sc5"; chmod a-w "$dir/save/locked.sc5"
    key ctrl+s
    type_name "$save_title" "$dir/save/locked"
    for _ in $(seq 150); do
      [ "$(xdotool search --onlyvisible --name "^$save_title\$" 2>/dev/null | wc -l)" -ge 2 ] && break
      sleep 0.1
    done
    sleep 0.3
    xdotool key Return  # yes, replace it
    error_box "$lang: Save As over a write-protected file" "ファイルが書き込み禁止になっているため保存できません。(CreateFile)"
    [ "$(cat "$dir/save/locked.sc5")" = original ] && pass "$lang: the write-protected file is unchanged" ||
      fail "$lang: the write-protected file changed"
    chmod u+w "$dir/save/locked.sc5"
    # A disk that fills up: a 40 KiB tmpfs with 24 KiB taken cannot hold the 30,375-byte file.
    # The message says so; no file, and no temporary one, is left.
    mkdir -p "$dir/full"
    if mount -t tmpfs -o size=40k tmpfs "$dir/full" 2>/dev/null; then
      head -c 24576 /dev/zero > "$dir/full/filler"
      key ctrl+s
      if type_name "$save_title" "$dir/full/pic"; then
        error_box "$lang: Save As onto a full disk" "ディスクの空き容量が足りないため保存できません。"
      else
        fail "$lang: Save As onto a full disk: no dialog"
      fi
      [ "$(ls -A "$dir/full")" = filler ] && pass "$lang: the full disk holds no new or temporary file" ||
        fail "$lang: the full disk holds" "$(ls -A "$dir/full" | tr '\n' ' ')"
      umount "$dir/full"
    else
      echo "skip $lang: full disk (a tmpfs cannot be mounted here)"
    fi
    stop_viewer || fail "$lang: 日本語.sr5: Ctrl+Q"
  else
    fail "$lang: 日本語.sr5: no window \"$title\""; kill "$viewer_pid" 2>/dev/null; viewer_pid=""
  fi
  # A folder named on the command line is said to be one.
  mkdir -p "$dir/フォルダ.sc5"
  check_refused "$lang: a folder on the command line" "$dir/フォルダ.sc5" "指定された名前はフォルダーです。"
  check_refused "$lang: missing 한글 name" "$dir/없음.sc5" "指定されたファイルが見つかりません。"
}

unicode_round en_US.UTF-8 "Open" "Save As"
unicode_round ja_JP.UTF-8 "開く" "名前を付けて保存"
export LANG=ja_JP.UTF-8
