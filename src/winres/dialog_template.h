// Parser of extended dialog templates (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX
// items), read the way Windows reads them, into plain structures with 8-bit
// Windows-1252 texts. Every length and offset is checked against the buffer:
// a truncated or damaged template gives an error message, never a read past
// its end. Nothing is allocated; creation data points into the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Predefined control classes, which a template names by ordinal.
enum DialogClassOrdinal : uint16_t {
    DIALOG_CLASS_BUTTON = 0x0080,
    DIALOG_CLASS_EDIT,
    DIALOG_CLASS_STATIC,
    DIALOG_CLASS_LISTBOX,
    DIALOG_CLASS_SCROLLBAR,
    DIALOG_CLASS_COMBOBOX,
};

// The style bit (DS_SETFONT) that puts the font fields into the header.
constexpr uint32_t DIALOG_STYLE_SETFONT = 0x40;

constexpr int DIALOG_TEXT_SIZE = 256; // window texts of at most 255 characters
constexpr int DIALOG_NAME_SIZE = 64;  // class, menu and typeface names
constexpr int DIALOG_MAX_ITEMS = 256;
constexpr int DIALOG_MESSAGE_SIZE = 160;

enum class DialogStatus {
    Ok,
    Truncated,    // a field or a string ends past the end of the template
    NotExtended,  // dlgVer is not 1 or the signature is not 0xFFFF
    TooManyItems, // more than DIALOG_MAX_ITEMS controls
    TextTooLong,  // a string longer than its buffer
    UnknownClass, // a class ordinal that names no predefined class
};

struct DialogResult {
    DialogStatus status;
    char message[DIALOG_MESSAGE_SIZE]; // empty when status is Ok
};

// A sz_Or_Ord field: absent (a single 0 word), an ordinal, or a string.
enum class DialogRefKind : uint8_t { None, Ordinal, Name };

template <int Size> struct DialogRef {
    DialogRefKind kind;
    uint16_t ordinal;
    char name[Size]; // for a predefined class ordinal, its class name ("Button")
};

struct DialogFont {
    uint16_t pointSize;
    uint16_t weight;
    uint8_t italic;
    uint8_t charset;
    char typeface[DIALOG_NAME_SIZE];
};

struct DialogItem {
    uint32_t helpId;
    uint32_t exStyle;
    uint32_t style;
    int16_t x;
    int16_t y;
    int16_t cx;
    int16_t cy;
    uint32_t id; // (uint32_t)-1 for the usual "no id" of labels
    DialogRef<DIALOG_NAME_SIZE> windowClass;
    DialogRef<DIALOG_TEXT_SIZE> title;
    uint16_t extraCount;
    const unsigned char *extraData; // extraCount bytes inside the template, or null
};

// About 90 KB: give it static storage.
struct DialogTemplate {
    uint16_t version;
    uint16_t signature;
    uint32_t helpId;
    uint32_t exStyle;
    uint32_t style;
    uint16_t itemCount;
    int16_t x;
    int16_t y;
    int16_t cx;
    int16_t cy;
    DialogRef<DIALOG_NAME_SIZE> menu;
    DialogRef<DIALOG_NAME_SIZE> windowClass;
    char title[DIALOG_TEXT_SIZE];
    bool hasFont; // style has DS_SETFONT
    DialogFont font;
    DialogItem items[DIALOG_MAX_ITEMS];
};

// Parses the RT_DIALOG resource data at [data, data + size). On failure the
// message says what and where; *dialog is then incomplete.
DialogResult parseDialogTemplate(const unsigned char *data, size_t size, DialogTemplate *dialog);
