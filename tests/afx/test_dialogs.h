// Resource identifiers of the layer's test executable.
#pragma once

#define IDD_CENTRED_EX       200
#define IDD_CENTRED_CLASSIC  201
#define IDD_PLACED_EX        202
#define IDD_PLACED_CLASSIC   203
#define IDD_CUT_LABELS       204
#define IDD_MISSING          299

#define IDC_LABEL            300
#define IDC_CUT_ROOM         301
#define IDC_CUT_NEIGHBOUR    302
#define IDC_NEIGHBOUR        303
#define IDC_CUT_EDGE         304
#define IDC_FITS             305
#define IDC_CUT_TALL         306
#define IDC_CUT_CENTRED      307
#define IDC_CUT_ELLIPSIS     308
#define IDC_CUT_OVERLAPPED   309

#define IDS_SHORT            1
#define IDS_LONG             40
#define IDS_MISSING          2
