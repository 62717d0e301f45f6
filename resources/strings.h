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

#define IDS_FIRST 1
#define IDS_LAST 11

#endif
