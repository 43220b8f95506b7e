// Resource identifiers of the layer's test executable.
#pragma once

#define IDD_CENTRED_EX       200
#define IDD_CENTRED_CLASSIC  201
#define IDD_PLACED_EX        202
#define IDD_PLACED_CLASSIC   203
#define IDD_MISSING          299

#define IDC_LABEL            300

#define IDS_SHORT            1
#define IDS_LONG             40
#define IDS_MISSING          2
