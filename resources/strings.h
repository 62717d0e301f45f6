/* The string table: the one place where the viewer's message and dialog texts are written.
   Included by the resource script (windres, code page 65001) and by the C++ code, so it holds
   only preprocessor definitions. UTF-8. */
#ifndef VRAMORIA_RESOURCES_STRINGS_H
#define VRAMORIA_RESOURCES_STRINGS_H

#define IDS_COPY_FAILED 1
#define IDS_COPY_FAILED_TEXT "内部エラー(%): コピーに失敗しました。"
#define IDS_WRITE_FAILED 2
#define IDS_WRITE_FAILED_TEXT "内部エラー(%): 書き込みに失敗しました。"
#define IDS_FILE_NOT_FOUND 3
#define IDS_FILE_NOT_FOUND_TEXT "指定されたファイルが見つかりません。"
#define IDS_NOT_BSAVE 4
#define IDS_NOT_BSAVE_TEXT "BSAVEファイルではありません。"
#define IDS_BITMAP_FILTER 5
#define IDS_BITMAP_FILTER_TEXT "ビットマップ ファイル"
#define IDS_BSAVE_FILTER 6
#define IDS_BSAVE_FILTER_TEXT "BSAVE ファイル"
#define IDS_ALL_FILES 7
#define IDS_ALL_FILES_TEXT "すべてのファイル"
#define IDS_PALETTE_FILTER 8
#define IDS_PALETTE_FILTER_TEXT "パレットファイル"
#define IDS_SAVE_BITMAP_TITLE 9
#define IDS_SAVE_BITMAP_TITLE_TEXT "ビットマップ保存"
#define IDS_LOAD_PALETTE_TITLE 10
#define IDS_LOAD_PALETTE_TITLE_TEXT "パレット読み込み"
#define IDS_NOT_PALETTE 11
#define IDS_NOT_PALETTE_TEXT "パレットファイルではありません。"
#define IDS_BAD_NAME 12
#define IDS_BAD_NAME_TEXT "このファイル名はUnicodeの文字として読めないため使えません。"
#define IDS_NAME_TOO_LONG 13
#define IDS_NAME_TOO_LONG_TEXT "ファイル名が長すぎます。フォルダーを含めて259文字までにしてください。(%)"
#define IDS_READ_ONLY 14
#define IDS_READ_ONLY_TEXT "ファイルが書き込み禁止になっているため保存できません。(%)"
#define IDS_IS_FOLDER 15
#define IDS_IS_FOLDER_TEXT "指定された名前はフォルダーです。ファイルの名前を指定してください。(%)"
#define IDS_DISK_FULL 16
#define IDS_DISK_FULL_TEXT "ディスクの空き容量が足りないため保存できません。(%)"
#define IDS_OPEN_FOLDER 17
#define IDS_OPEN_FOLDER_TEXT "指定された名前はフォルダーです。"

#define IDS_FIRST 1
#define IDS_LAST 17

#endif
