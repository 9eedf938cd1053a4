#pragma once
// Ids of the program's string table.
#define IDS_DEFAULT_FOLDER 0
#define IDS_PRODUCT_NAME 1
#define IDS_SUITE_DESCRIPTION 2
#define IDS_LAST_PROGRAM_FILE 3
#define IDS_MAIN_PROGRAM 4
