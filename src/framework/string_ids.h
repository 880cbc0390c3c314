// String resources the framework and the settings read from the program's string table: the
// application title (message box captions, the settings key), the company name (the settings
// key) and the data exchange messages. Plain definitions, so that the program's resource script
// includes them too and each id is written down once.
#ifndef KINETRIX_FRAMEWORK_STRING_IDS_H
#define KINETRIX_FRAMEWORK_STRING_IDS_H

#define IDS_APP_TITLE 57344
#define IDS_COMPANY 57348
#define IDS_PARSE_INT 61952
#define IDS_PARSE_INT_RANGE 61953

#endif  // KINETRIX_FRAMEWORK_STRING_IDS_H
