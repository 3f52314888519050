// Control and template ids of the demo dialogs of the scripted-run tests.
#pragma once

#define IDD_BASIC    100
#define IDD_DATA     200
#define IDD_THREADS  300
#define IDD_SPINFULL 400
#define IDD_BROWSE   500

#define IDC_OWN      1234
#define IDC_HELPBTN  9
