// What the three programs of setup share: the product's settings (setup.cfg
// after the language variants), the helpers that read them, and the run's
// record of failed writes.
#pragma once
#include "brisel/stringarray.h"
#include "brisel/strings.h"
#include "setup/frame/journal.h"

class SETUP
{
public:
    static KEYTABLE Settings;        // setup.cfg after the language variants
    static FAILURES Failures;        // writes that failed, told once at the end

    // A key with "." is a language variant; the one with the suffix replaces
    // its base key, every other one is dropped.
    static void ApplyLanguageVariants(KEYTABLE& table, const char* suffix);
    // Every occurrence, case-sensitive.
    static STRING ReplaceAll(const STRING& text, const char* placeholder, const char* value);
    // Non-empty entries of a "|" list.
    static STRINGARRAY ListEntries(const STRING& list);
    // First line of a text (carriage returns count as line ends).
    static STRING FirstLine(const STRING& text);
    // A text of the program from its language module.
    static STRING Text(int id);
    // Caption of the install's boxes: string 2900 with the product's name.
    static STRING Caption(KEYTABLE& cfg);
    // Uninstall entries ("Software\Microsoft\Windows\CurrentVersion\Uninstall\"), one key per product.
    static STRING UninstallBase();
};
