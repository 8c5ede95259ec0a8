// Names and numbers shared by the resource script and the code that uses its
// resources. Only #defines: the resource compiler's preprocessor reads this too.
#pragma once

// Resource names. The script spells them bare (KESTRIX DIALOGEX ...); these are
// the strings the code passes to CreateDialogParamA and LoadIconA.
#define IDD_KESTRIX "KESTRIX"
#define IDI_MORVANEX_ICON "MORVANEX_ICON"

// Labels and frames: never addressed by the code.
#define IDC_STATIC (-1)

// Commands (2 and 200..202). Exit uses IDCANCEL's number, so Esc acts like it.
#define IDC_EXIT 2
#define IDC_UPDOWN 200
#define IDC_DUMP 201
#define IDC_PCI_REPORT 202

// Base address register flags (100..129): column k, row i has id 100 + 6k + i.
#define IDC_BAR_FLAG_FIRST 100
#define IDC_BAR_FLAG_ROWS 6
#define IDC_BAR_FLAG_COLUMNS 5
#define IDC_BAR_FLAG_LAST 129
#define IDC_BAR_FLAG(column, row) (IDC_BAR_FLAG_FIRST + IDC_BAR_FLAG_ROWS * (column) + (row))
#define BAR_COLUMN_IO 0
#define BAR_COLUMN_MEM 1
#define BAR_COLUMN_32 2
#define BAR_COLUMN_64 3
#define BAR_COLUMN_PRE 4

// Lists and the Multi Function indicator (130..134; 131 is not used).
#define IDC_HEX_DUMP 130
#define IDC_MULTI_FUNCTION 132
#define IDC_STATUS_LIST 133
#define IDC_COMMAND_LIST 134

// Value fields (300..343).
#define IDC_VALUE_FIRST 300
#define IDC_VALUE_LAST 343
#define IDC_BAR_ADDRESS_FIRST 300 /* 300 + i: address of register i */
#define IDC_ROM_ADDRESS 306
#define IDC_BAR_LENGTH_FIRST 307 /* 307 + i: length of register i */
#define IDC_ROM_LENGTH 313
#define IDC_FUNCTION_NUMBER 314
#define IDC_DEVICE_NUMBER 315
#define IDC_BUS_NUMBER 316
#define IDC_DEVICE_ID 317
#define IDC_VENDOR_ID 318
#define IDC_DEVICE_NAME 319
#define IDC_VENDOR_NAME 320
#define IDC_BASE_CLASS_NAME 321
#define IDC_SUB_CLASS_NAME 322
#define IDC_PROG_IF_NAME 323
#define IDC_CURRENT_DEVICE 324
#define IDC_TOTAL_DEVICES 325
#define IDC_INTERRUPT_PIN 326
#define IDC_INTERRUPT_LINE 327
#define IDC_MIN_GRANT 328
#define IDC_MAX_LATENCY 329
#define IDC_LATENCY_TIMER 330
#define IDC_CACHE_LINE 331
#define IDC_BASE_CLASS 332
#define IDC_SUB_CLASS 333
#define IDC_PROG_IF 334
#define IDC_REVISION_ID 335
#define IDC_BIST 336
#define IDC_CIS_POINTER 337
#define IDC_CIS_LENGTH 338
#define IDC_SUBSYSTEM_VENDOR_ID 339
#define IDC_SUBSYSTEM_ID 340
#define IDC_SUBSYSTEM_VENDOR_NAME 341
#define IDC_SUBSYSTEM_NAME 342
#define IDC_CAPABILITIES_PTR 343
