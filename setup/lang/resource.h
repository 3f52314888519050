// Numbers of the resources in the language modules (strings, dialogs and their
// controls) and in setup.exe (icons, bitmap). Shared by the resource scripts and
// the program, so that both sides use the same numbers.
#pragma once

// ---- Strings shared by all jobs
#define IDS_MSGCAPTION          10001   // caption of a message box without one
#define IDS_LANGSUFFIX          2980    // ".ENG", ".GER", ".FRA", ".HUN"
#define IDS_FINISHBUTTON        3000    // caption of button 2 on the last wizard step
#define IDS_SENDMAILTITLE       2995    // title of the mail dialog

// ---- Install
#define IDS_SETUPCAPTION        2900    // contains "Halvo"
#define IDS_DESTHEAD            2902    // also the folder browser's title; no "|"
#define IDS_DESTDESC            2903
#define IDS_LICENCEHEAD         2904
#define IDS_LICENCEDESC         2905
#define IDS_FILESHEAD           2906
#define IDS_FILESDESC           2907
#define IDS_FILESBUSY           2909
#define IDS_FILESDONE           2911
#define IDS_WELCOMEHEAD         2912    // product name and version follow directly
#define IDS_WELCOMEDESC         2913
#define IDS_ADVERTHEAD          2914    // $PROG
#define IDS_ADVERTDESC          2915    // $PROG
#define IDS_SHORTCUTSHEAD       2916
#define IDS_SHORTCUTSDESC       2917
#define IDS_FINISHHEAD          2918
#define IDS_FINISHDESC          2919    // $PROG
#define IDS_ASKCOPYOLDDATA      2950    // one %s: the earlier folder
#define IDS_LICENCESELECT       2984    // "49" selects the German licence
#define IDS_ASKCONTINUESETUP    2987    // Yes = continue
#define IDS_ASKRETRYFILE        2988    // $FILE, $PROGRAM; Yes = retry
#define IDS_ASKREPLACE          2992    // one %s; Yes = replace
#define IDS_REPLACECAPTION      2993
#define IDS_INSTALLDONE         2994    // $PROGRAM
#define IDS_UNINSTALLLINK       2998    // $PROGRAM; becomes a file name
#define IDS_ASKNOARCHIVE        4000    // $FILE (the archive), $PROGRAM; Yes = retry
#define IDS_ASKBADARCHIVE       4001    // $FILE (the archive), $PROGRAM; Yes = retry
#define IDS_ASKBADMEMBER        4002    // $FILE (the member), $ARCHIVE, $PROGRAM; Yes = retry

// ---- Uninstall
#define IDS_UNINSTCAPTION       2901    // contains "Halvo"
#define IDS_FEEDBACKHEAD        2932
#define IDS_FEEDBACKDESC        2933
#define IDS_OPTIONSHEAD         2934
#define IDS_OPTIONSDESC         2935
#define IDS_REMOVEHEAD          2936
#define IDS_REMOVEDESC          2937
#define IDS_REMOVEDONEHEAD      2938
#define IDS_REMOVEDALL          2939
#define IDS_OPTIONSTEXT1        2985    // $PROGRAM; joined with 2986
#define IDS_OPTIONSTEXT2        2986    // $PROGRAM
#define IDS_ASKUNINSTALL        2989    // $PROGRAM; Yes = uninstall
#define IDS_ASKCONTINUEUNINST   2997    // Yes = continue
#define IDS_ASKREMOVEALL        2999    // $PROGRAM; Yes = remove everything
#define IDS_ASKOPENMAIL         3001    // Yes = open the feedback mail
#define IDS_ASKFEEDBACK         3004    // $PROGRAM; Yes = go on to 3001

// ---- Honest install and uninstall: failed writes, undo, destination checks
#define IDS_NOSETUPCFG          4010
#define IDS_FAILMORE            4011    // $COUNT; closes the list of failed writes
#define IDS_INSTALLINCOMPLETE   4012    // $PROGRAM; heading of the list
#define IDS_UNDOFAILED          4013    // heading of the list
#define IDS_ASKKEEP             4014    // $PROGRAM; Yes = keep the installed product
#define IDS_FILESFAILED         4015
#define IDS_FILESUNDO           4016
#define IDS_DESTEMPTY           4017    // $PROGRAM
#define IDS_DESTRELATIVE        4018    // $FOLDER
#define IDS_DESTBADNAME         4019    // $FOLDER
#define IDS_DESTNODRIVE         4020    // $FOLDER
#define IDS_DESTISFILE          4021    // $FOLDER
#define IDS_DESTNOWRITE         4022    // $FOLDER
#define IDS_DESTTOOLONG         4023
#define IDS_NOTINSTALLED        4030
#define IDS_NOTEMPCOPY          4031
#define IDS_REMOVEFAILED        4032    // heading of the list
#define IDS_REMOVEDPART         4033

// unattended install and removal
#define IDS_HELPFIRST           4150    // the switches' box: 4150 to 4154 joined
#define IDS_HELP2               4151
#define IDS_HELP3               4152
#define IDS_HELP4               4153
#define IDS_HELPLAST            4154
#define IDS_ALREADYRUNNING      4155    // $PROGRAM

// ---- Order form
#define IDS_ORDERCAPTION        3100    // product name follows directly
#define IDS_ADDRESSHEAD         3101
#define IDS_ADDRESSDESC         3102
#define IDS_PRODUCTSHEAD        3103
#define IDS_PRODUCTSDESC        3104
#define IDS_TOTALSHEAD          3105
#define IDS_TOTALSDESC          3106
#define IDS_PAYMENTHEAD         3107
#define IDS_PAYMENTDESC         3108
#define IDS_DISTCHOICEHEAD      3109
#define IDS_DISTCHOICEDESC      3110
#define IDS_DISTDETAILHEAD      3111
#define IDS_DISTDETAILDESC      3112
#define IDS_OUTPUTHEAD          3113
#define IDS_OUTPUTDESC          3114
#define IDS_DOCUMENTHEAD        3115
#define IDS_DOCUMENTDESC        3116
#define IDS_ORDERFINALHEAD      3117
#define IDS_ORDERFINALDESC      3118
#define IDS_ORDERWELCOMEHEAD    3119    // product name follows directly
#define IDS_ORDERWELCOMEDESC    3120
#define IDS_COMMENTHEAD         3121
#define IDS_COMMENTDESC         3122
#define IDS_RULEEXCLUDES        3130    // $PRODSOURCE, $PRODDEPEND; 3133 follows
#define IDS_RULEREQUIRES        3131
#define IDS_RULEONEOF           3132
#define IDS_RULEASKCORRECT      3133    // Yes = correct the order
#define IDS_RULEEXPIRED         3134
#define IDS_RULEUNAVAILABLE     3135
#define IDS_RULENOTICE          3136
#define IDS_ORDERKEY            3178    // mail key, identical in every module
#define IDS_NOMAILPAYMENT       3179
#define IDS_ORDERTHANKS         3181    // $PROGRAM
#define IDS_ORDERFILEWORD       3182    // part of a file name
#define IDS_TRANSFERNOTICE      3183
#define IDS_ORDERNOTDONE        3184    // $PROGRAM
#define IDS_PRICESEXPIRED1      3185    // $PROG; joined with 3186
#define IDS_PRICESEXPIRED2      3186    // $PROG
#define IDS_TOTALLABELS         3190    // 3 fields
#define IDS_OPERATIONWORDS      3191    // 3 fields
#define IDS_OPERATIONDONE       3192    // $OPERATION
#define IDS_OPERATIONFAILED     3193    // $OPERATION
#define IDS_SAVEORDERTITLE      3194
#define IDS_PAYMENTNAMES        3195    // 6 fields
#define IDS_DOCHEADINGS         3196    // 5 fields
#define IDS_CURRENCYWORD        3197
#define IDS_ASKCONTINUEORDER    3198    // Yes = continue
#define IDS_MAILSUBJECT         3199    // 2 fields
#define IDS_ORDERWELCOME1       3287    // $PROG
#define IDS_ORDERWELCOME2       3288    // $PROGRAM
#define IDS_ORDERNOTE1          3289    // joined with 3290
#define IDS_ORDERNOTE2          3290

// ---- Dialogs
#define IDD_WIZARD              10702   // the wizard frame
#define IDD_INSTWELCOME         2001
#define IDD_INSTDEST            2002
#define IDD_INSTLICENCE         2003
#define IDD_INSTFILES           2004
#define IDD_INSTSHORTCUTS       2005
#define IDD_INSTADVERT          2006
#define IDD_INSTFINISH          2009
#define IDD_UNFEEDBACK          2013
#define IDD_UNOPTIONS           2014
#define IDD_UNREMOVE            2015
#define IDD_ORDWELCOME          2041
#define IDD_ORDDISTCHOICE       2042
#define IDD_ORDDISTDETAIL       2043
#define IDD_ORDPRODUCTS         2044
#define IDD_ORDTOTALS           2045
#define IDD_ORDADDRESS          2046
#define IDD_ORDPAYMENT          2047
#define IDD_ORDCOMMENT          2048
#define IDD_ORDDOCUMENT         2049
#define IDD_ORDOUTPUT           2050
#define IDD_ORDFINAL            2051
#define IDD_SENDMAIL            2090

// ---- Controls of the wizard frame
#define IDC_HELPBUTTON          9
#define IDC_BACK                10780
#define IDC_NEXT                10781
#define IDC_HEADING             10782
#define IDC_HEADDESC            10783
#define IDC_PAGEAREA            10791   // hidden; pages are placed into it
#define IDC_HEADBAND            10792
#define IDC_HEADICON            10793
#define IDC_PLACEHOLDER         901     // hidden in the frame; progress bar or size in pages

// ---- Controls of the pages (numbers repeat between pages)
#define IDC_BUTTON              101     // browse, print, order online, web address
#define IDC_EMAILORDER          106
#define IDC_SAVEORDER           107
#define IDC_PRINTORDER          108
#define IDC_SENDFEEDBACK        110
#define IDC_FIELD0              200     // edits and texts 200-208
#define IDC_FIELD1              201
#define IDC_FIELD2              202
#define IDC_FIELD3              203
#define IDC_FIELD4              204
#define IDC_FIELD5              205
#define IDC_FIELD6              206
#define IDC_FIELD7              207
#define IDC_FIELD8              208
#define IDC_RADIO0              220     // radio buttons 220-225 (221-223 on install and uninstall pages)
#define IDC_RADIO1              221
#define IDC_RADIO2              222
#define IDC_RADIO3              223
#define IDC_RADIO4              224
#define IDC_RADIO5              225
#define IDC_CHECK               241
#define IDC_LABEL0              280     // texts and labels 280-285
#define IDC_LABEL1              281
#define IDC_LABEL2              282
#define IDC_LABEL3              283
#define IDC_LABEL4              284
#define IDC_LABEL5              285
#define IDC_PRICELABEL          289
#define IDC_PRICE0              290     // unit prices 290-295
#define IDC_PRICE1              291
#define IDC_PRICE2              292
#define IDC_PRICE3              293
#define IDC_PRICE4              294
#define IDC_PRICE5              295
#define IDC_LIST                401
#define IDC_BITMAP              2070

// ---- Controls of the mail dialog
#define IDC_MAILTO              1001
#define IDC_MAILFROM            1002
#define IDC_MAILSUBJECT         1003
#define IDC_MAILBODY            1004
#define IDC_MAILSTATUS          1005
#define IDC_MAILSEND            1009

// ---- Resources of setup.exe
#define IDI_SETUP               1
#define IDI_UNINSTALL           2
#define IDI_ORDER               3
#define IDB_FINISH              2070
