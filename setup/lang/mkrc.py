#!/usr/bin/env python3
"""Writes the four language scripts (english.rc, german.rc, french.rc, hungarian.rc).

The dialog layout is kept once, here, so that ids, kinds, styles, tab order and
rectangles are the same in every language; the texts come from one table per
language (texts_*.py beside this script). Each script is written in its own
single-byte code page. Run it after changing a layout or a text, and commit the
scripts it writes:  python3 setup/lang/mkrc.py
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import importlib  # noqa: E402

LANGS = [
    # file, code page, LANGUAGE statement, texts
    ('english', 1252, 'LANG_ENGLISH, SUBLANG_ENGLISH_US'),
    ('german', 1252, 'LANG_GERMAN, SUBLANG_GERMAN'),
    ('french', 1252, 'LANG_FRENCH, SUBLANG_FRENCH'),
    ('hungarian', 1250, 'LANG_HUNGARIAN, SUBLANG_DEFAULT'),
]
LANGS = [(name, cp, lang, importlib.import_module('texts_' + name)) for name, cp, lang in LANGS
         if os.path.exists(os.path.join(HERE, 'texts_%s.py' % name))]
texts_english = LANGS[0][3]

FONT = 'FONT 8, "MS Sans Serif"'
POPUP = 'DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU'
PAGE = 'DS_CONTROL | DS_SETFONT | WS_CHILD'
HIDDEN = 'NOT WS_VISIBLE'
TAB = 'WS_TABSTOP'
GROUP = 'WS_GROUP | WS_TABSTOP'

# A control: (statement, text key or None for "", id, x, y, w, h, extra style).
# CONTROL statements name their class in the statement: ('CONTROL Static', ...).
# Text keys starting with "=" are literal and the same in every language.


def products_rows():
    rows = []
    for n in range(6):
        y = 16 + 16 * n
        rows += [
            ('LTEXT', None, 'IDC_LABEL%d' % n, 0, y + 2, 156, 8, 'SS_NOPREFIX'),
            ('RTEXT', None, 'IDC_PRICE%d' % n, 160, y + 2, 72, 8, 'SS_NOPREFIX'),
            ('EDITTEXT', None, 'IDC_FIELD%d' % n, 240, y, 36, 12, 'ES_AUTOHSCROLL'),
        ]
    return rows


DIALOGS = [
    # id, style, caption key, w, h, controls
    ('IDD_WIZARD', POPUP, 'frame.caption', 316, 184, [
        ('CONTROL Static', None, 'IDC_HEADBAND', 0, 0, 316, 36, 'SS_WHITERECT'),
        # The heading is shown in Arial 9 pt bold: one line of it needs 10 units.
        ('LTEXT', None, 'IDC_HEADING', 8, 5, 272, 10, 'SS_NOPREFIX'),
        ('LTEXT', None, 'IDC_HEADDESC', 16, 16, 264, 16, 'SS_NOPREFIX'),
        ('CONTROL Static', None, 'IDC_HEADICON', 288, 8, 20, 16, 'SS_ICON'),
        ('CONTROL Static', None, 'IDC_PAGEAREA', 8, 40, 300, 112, 'SS_LEFT | ' + HIDDEN),
        ('PUSHBUTTON', 'frame.help', 'IDC_HELPBUTTON', 8, 160, 50, 14, HIDDEN + ' | WS_TABSTOP'),
        ('PUSHBUTTON', 'frame.back', 'IDC_BACK', 148, 160, 50, 14, TAB),
        ('DEFPUSHBUTTON', 'frame.next', 'IDC_NEXT', 200, 160, 50, 14, TAB),
        ('PUSHBUTTON', 'frame.cancel', 'IDCANCEL', 256, 160, 50, 14, TAB),
        ('CONTROL Static', None, 'IDC_PLACEHOLDER', 0, 0, 1, 1, 'SS_LEFT | ' + HIDDEN),
    ]),
    ('IDD_INSTWELCOME', PAGE, None, 300, 112, [
        ('GROUPBOX', 'welcome.group', '-1', 0, 0, 300, 64, ''),
        ('AUTORADIOBUTTON', 'welcome.new', 'IDC_RADIO1', 12, 14, 280, 12, GROUP),
        ('AUTORADIOBUTTON', 'welcome.reinstall', 'IDC_RADIO2', 12, 30, 280, 12, ''),
        ('AUTORADIOBUTTON', 'welcome.update', 'IDC_RADIO3', 12, 46, 280, 12, ''),
    ]),
    ('IDD_INSTDEST', PAGE, None, 300, 112, [
        ('LTEXT', 'dest.label', '-1', 0, 0, 300, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD1', 0, 12, 224, 12, 'ES_AUTOHSCROLL'),
        ('PUSHBUTTON', 'dest.browse', 'IDC_BUTTON', 232, 11, 68, 14, TAB),
    ]),
    ('IDD_INSTLICENCE', PAGE, None, 300, 112, [
        ('EDITTEXT', None, 'IDC_FIELD1', 0, 0, 300, 80,
         'ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL'),
        ('AUTOCHECKBOX', 'licence.accept', 'IDC_CHECK', 0, 89, 224, 12, GROUP),
        ('PUSHBUTTON', 'licence.print', 'IDC_BUTTON', 232, 88, 68, 14, GROUP),
    ]),
    ('IDD_INSTFILES', PAGE, None, 300, 112, [
        ('LTEXT', None, 'IDC_FIELD1', 0, 0, 300, 16, ''),
        ('CONTROL Static', None, 'IDC_PLACEHOLDER', 0, 24, 300, 12, 'SS_LEFT'),
    ]),
    ('IDD_INSTSHORTCUTS', PAGE, None, 300, 112, [
        ('AUTORADIOBUTTON', 'shortcuts.user', 'IDC_RADIO1', 0, 0, 300, 12, GROUP),
        ('AUTORADIOBUTTON', 'shortcuts.all', 'IDC_RADIO2', 0, 16, 300, 12, ''),
        ('AUTORADIOBUTTON', 'shortcuts.none', 'IDC_RADIO3', 0, 32, 300, 12, ''),
        ('AUTOCHECKBOX', 'shortcuts.desktop', 'IDC_CHECK', 0, 56, 300, 12, GROUP),
    ]),
    ('IDD_INSTADVERT', PAGE, None, 300, 112, [
        ('LTEXT', 'advert.teaser1', 'IDC_LABEL0', 0, 0, 300, 16, 'SS_NOPREFIX'),
        ('LTEXT', 'advert.teaser2', 'IDC_LABEL1', 0, 16, 300, 16, 'SS_NOPREFIX'),
        ('LTEXT', None, 'IDC_FIELD1', 0, 40, 300, 48, 'SS_NOPREFIX'),
        ('PUSHBUTTON', None, 'IDC_BUTTON', 0, 96, 200, 14, TAB),
    ]),
    ('IDD_INSTFINISH', PAGE, None, 300, 112, [
        ('CONTROL Static', None, 'IDC_BITMAP', 0, 0, 64, 112, 'SS_LEFT'),
        ('LTEXT', None, 'IDC_LABEL1', 72, 0, 228, 112, 'SS_NOPREFIX'),
    ]),
    ('IDD_UNFEEDBACK', PAGE, None, 300, 112, [
        ('LTEXT', 'feedback.label', '-1', 0, 0, 300, 24, ''),
        ('EDITTEXT', None, 'IDC_FIELD2', 0, 28, 300, 62,
         'ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL'),
        ('PUSHBUTTON', 'feedback.send', 'IDC_SENDFEEDBACK', 232, 96, 68, 14, TAB),
    ]),
    ('IDD_UNOPTIONS', PAGE, None, 300, 112, [
        ('LTEXT', None, 'IDC_FIELD1', 0, 0, 300, 64, 'SS_NOPREFIX'),
        ('AUTORADIOBUTTON', 'options.keep', 'IDC_RADIO1', 0, 72, 300, 12, GROUP),
        ('AUTORADIOBUTTON', 'options.all', 'IDC_RADIO2', 0, 88, 300, 12, ''),
    ]),
    ('IDD_UNREMOVE', PAGE, None, 300, 112, [
        ('LTEXT', 'remove.busy', 'IDC_FIELD1', 0, 0, 300, 16, ''),
        ('CONTROL Static', None, 'IDC_PLACEHOLDER', 0, 24, 300, 12, 'SS_LEFT'),
        ('LTEXT', None, 'IDC_FIELD2', 0, 48, 300, 24, HIDDEN),
    ]),
    ('IDD_ORDWELCOME', PAGE, None, 300, 112, [
        ('LTEXT', None, 'IDC_LABEL0', 0, 0, 300, 56, 'SS_NOPREFIX'),
        ('LTEXT', 'owelcome.note', 'IDC_FIELD2', 0, 64, 300, 48, 'SS_NOPREFIX'),
    ]),
    ('IDD_ORDDISTCHOICE', PAGE, None, 300, 112, [
        ('LTEXT', 'distchoice.label', '-1', 0, 0, 300, 8, ''),
        ('CONTROL ListBox', None, 'IDC_LIST', 0, 12, 300, 100,
         'LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP'),
    ]),
    ('IDD_ORDDISTDETAIL', PAGE, None, 300, 112, [
        ('LTEXT', None, 'IDC_FIELD0', 0, 0, 300, 88, 'SS_NOPREFIX'),
        ('PUSHBUTTON', 'distdetail.online', 'IDC_BUTTON', 0, 96, 100, 14, TAB),
    ]),
    ('IDD_ORDPRODUCTS', PAGE, None, 300, 112, [
        ('LTEXT', 'products.product', '-1', 0, 0, 156, 8, ''),
        ('LTEXT', 'products.price', 'IDC_PRICELABEL', 160, 0, 76, 8, ''),
        ('LTEXT', 'products.quantity', '-1', 240, 0, 60, 8, ''),
    ] + products_rows()),
    ('IDD_ORDTOTALS', PAGE, None, 300, 112, [
        ('LTEXT', 'totals.subtotal', '-1', 0, 2, 100, 8, ''),
        ('RTEXT', None, 'IDC_LABEL0', 104, 2, 120, 8, 'SS_NOPREFIX'),
        ('LTEXT', 'totals.shipping', '-1', 0, 18, 100, 8, ''),
        ('RTEXT', None, 'IDC_LABEL1', 104, 18, 120, 8, 'SS_NOPREFIX'),
        ('LTEXT', 'totals.total', '-1', 0, 34, 100, 8, ''),
        ('RTEXT', None, 'IDC_LABEL2', 104, 34, 120, 8, 'SS_NOPREFIX'),
        ('LTEXT', 'totals.reference', '-1', 0, 58, 100, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD1', 104, 56, 196, 12, 'ES_AUTOHSCROLL'),
    ]),
    ('IDD_ORDADDRESS', PAGE, None, 300, 112, [
        ('LTEXT', 'address.name', '-1', 0, 2, 56, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD1', 60, 0, 240, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.address', '-1', 0, 18, 56, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD2', 60, 16, 240, 12, 'ES_AUTOHSCROLL'),
        ('EDITTEXT', None, 'IDC_FIELD3', 60, 32, 240, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.city', '-1', 0, 50, 56, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD4', 60, 48, 100, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.country', '-1', 164, 50, 40, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD5', 208, 48, 92, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.phone', '-1', 0, 66, 56, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD6', 60, 64, 100, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.fax', '-1', 164, 66, 40, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD7', 208, 64, 92, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'address.email', '-1', 0, 82, 56, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD8', 60, 80, 240, 12, 'ES_AUTOHSCROLL'),
    ]),
    ('IDD_ORDPAYMENT', PAGE, None, 300, 112, [
        ('AUTORADIOBUTTON', 'payment.card', 'IDC_RADIO0', 0, 0, 124, 12, GROUP),
        ('AUTORADIOBUTTON', 'payment.charge', 'IDC_RADIO1', 0, 16, 124, 12, ''),
        ('AUTORADIOBUTTON', 'payment.transfer', 'IDC_RADIO2', 0, 32, 124, 12, ''),
        ('AUTORADIOBUTTON', 'payment.delivery', 'IDC_RADIO3', 0, 48, 124, 12, ''),
        ('AUTORADIOBUTTON', 'payment.debit', 'IDC_RADIO4', 0, 64, 124, 12, ''),
        ('AUTORADIOBUTTON', 'payment.cheque', 'IDC_RADIO5', 0, 80, 124, 12, ''),
        ('LTEXT', 'payment.cardno', '-1', 128, 2, 64, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD1', 196, 0, 104, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'payment.expiry', '-1', 128, 18, 64, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD2', 196, 16, 104, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'payment.account', 'IDC_LABEL3', 128, 34, 64, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD3', 196, 32, 104, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'payment.bank', 'IDC_LABEL4', 128, 50, 64, 8, ''),
        ('EDITTEXT', None, 'IDC_FIELD4', 196, 48, 104, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', None, 'IDC_LABEL0', 128, 68, 172, 44, 'SS_NOPREFIX'),
    ]),
    ('IDD_ORDCOMMENT', PAGE, None, 300, 112, [
        ('EDITTEXT', None, 'IDC_FIELD0', 0, 0, 300, 112,
         'ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL'),
        ('CONTROL Static', None, 'IDC_PLACEHOLDER', 0, 0, 300, 112, 'SS_LEFT | ' + HIDDEN),
    ]),
    ('IDD_ORDDOCUMENT', PAGE, None, 300, 112, [
        ('EDITTEXT', None, 'IDC_FIELD0', 0, 0, 300, 112,
         'ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL'),
    ]),
    ('IDD_ORDOUTPUT', PAGE, None, 300, 112, [
        ('PUSHBUTTON', 'output.email', 'IDC_EMAILORDER', 0, 0, 68, 14, TAB),
        ('LTEXT', 'output.emailtext', '-1', 76, 3, 224, 16, ''),
        ('PUSHBUTTON', 'output.save', 'IDC_SAVEORDER', 0, 24, 68, 14, TAB),
        ('LTEXT', 'output.savetext', '-1', 76, 27, 224, 16, ''),
        ('PUSHBUTTON', 'output.print', 'IDC_PRINTORDER', 0, 48, 68, 14, TAB),
        ('LTEXT', 'output.printtext', '-1', 76, 51, 224, 16, ''),
        ('LTEXT', 'output.expired', 'IDC_FIELD1', 0, 72, 300, 32, 'SS_NOPREFIX | ' + HIDDEN),
    ]),
    ('IDD_ORDFINAL', PAGE, None, 300, 112, [
        ('CONTROL Static', None, 'IDC_BITMAP', 0, 0, 64, 112, 'SS_LEFT'),
        ('LTEXT', 'final.thanks', 'IDC_FIELD2', 72, 0, 228, 32, ''),
    ]),
    ('IDD_SENDMAIL', POPUP, 'mail.caption', 300, 176, [
        ('LTEXT', 'mail.to', '-1', 8, 10, 42, 8, ''),
        ('EDITTEXT', None, 'IDC_MAILTO', 52, 8, 240, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'mail.from', '-1', 8, 26, 42, 8, ''),
        ('EDITTEXT', None, 'IDC_MAILFROM', 52, 24, 240, 12, 'ES_AUTOHSCROLL'),
        ('LTEXT', 'mail.subject', '-1', 8, 42, 42, 8, ''),
        ('EDITTEXT', None, 'IDC_MAILSUBJECT', 52, 40, 240, 12, 'ES_AUTOHSCROLL'),
        ('EDITTEXT', None, 'IDC_MAILBODY', 8, 56, 284, 80,
         'ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL'),
        ('LTEXT', None, 'IDC_MAILSTATUS', 8, 144, 284, 8, 'SS_NOPREFIX'),
        ('DEFPUSHBUTTON', 'mail.send', 'IDC_MAILSEND', 184, 158, 50, 14, TAB),
        ('PUSHBUTTON', 'mail.cancel', 'IDCANCEL', 240, 158, 50, 14, TAB),
    ]),
]

# Key of the encrypted order mail (string 3178): supplied by the vendor, the same
# bytes in every module, since the distributor decrypts with one key.
ORDER_KEY = 'Hv7qK2mPx9LwT4sZ'

# Pages that can be a wizard's last step, where button 2 carries string 3000.
LAST_STEPS = {'IDD_INSTADVERT', 'IDD_INSTFINISH', 'IDD_UNREMOVE', 'IDD_ORDFINAL'}


def read_ids():
    ids = {}
    with open(os.path.join(HERE, 'resource.h'), encoding='ascii') as f:
        for line in f:
            m = re.match(r'#define\s+(ID\w+)\s+(\d+)', line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


def quote(text):
    if '\\' in text:
        raise ValueError('backslash in text: %r' % text)
    return '"' + text.replace('"', '""').replace('\n', '\\n') + '"'


def mnemonic(text):
    m = re.search(r'&([^&])', text.replace('&&', ''))
    return m.group(1).upper() if m else None


def check(name, cp, mod, ids):
    errors = []
    s = mod.STRINGS
    names = {v: k for k, v in ids.items() if k.startswith('IDS_')}
    missing = set(names) - set(s)
    extra = set(s) - set(names)
    if missing or extra:
        errors.append('strings missing %s, unknown %s' % (sorted(missing), sorted(extra)))
    for n, t in s.items():
        raw = t.encode('cp%d' % cp)
        if not t:
            errors.append('%d empty' % n)
        if len(raw) > 255:
            errors.append('%d is %d bytes' % (n, len(raw)))
        if any(0x80 <= b <= 0x9F for b in raw):
            errors.append('%d has a byte 80-9F' % n)
    for k, t in mod.TEXTS.items():
        if any(0x80 <= b <= 0x9F for b in t.encode('cp%d' % cp)):
            errors.append('%s has a byte 80-9F' % k)
    # Mnemonics must be unique per page, counting the frame's buttons.
    frame = [mnemonic(mod.TEXTS[k]) for k in ('frame.help', 'frame.back', 'frame.next')]
    finish = mnemonic(s[3000])
    for did, style, cap, w, h, ctrls in DIALOGS:
        seen = list(frame) if style == PAGE else []
        if did in LAST_STEPS:
            seen.append(finish)
        if did == 'IDD_WIZARD':
            seen = []
        for c in ctrls:
            if c[1] and not c[1].startswith('='):
                m = mnemonic(mod.TEXTS[c[1]])
                if m and 'SS_NOPREFIX' not in c[7]:
                    if m in seen:
                        errors.append('%s: mnemonic %s of %s used twice' % (did, m, c[1]))
                    seen.append(m)
    return ['%s: %s' % (name, e) for e in errors]


def write(name, cp, language, mod, ids):
    names = {v: k for k, v in ids.items() if k.startswith('IDS_')}
    out = []
    out.append('// %s language module. Written by mkrc.py from texts_%s.py; edit those, then run mkrc.py.'
               % (name.capitalize(), name))
    out.append('// Saved in code page %d.' % cp)
    out.append('#include <windows.h>')
    out.append('#include "resource.h"')
    out.append('')
    out.append('#pragma code_page(%d)' % cp)
    out.append('LANGUAGE %s' % language)
    out.append('')
    out.append('STRINGTABLE')
    out.append('BEGIN')
    for n in sorted(mod.STRINGS):
        out.append('    %-24s %s' % (names[n] + ',', quote(mod.STRINGS[n])))
    out.append('END')
    for did, style, cap, w, h, ctrls in DIALOGS:
        out.append('')
        out.append('%s DIALOG 0, 0, %d, %d' % (did, w, h))
        out.append('STYLE ' + style)
        if cap:
            out.append('CAPTION ' + quote(mod.TEXTS[cap]))
        out.append(FONT)
        out.append('BEGIN')
        for stmt, key, cid, x, y, cw, ch, extra in ctrls:
            text = '' if key is None else (key[1:] if key.startswith('=') else mod.TEXTS[key])
            rect = '%d, %d, %d, %d' % (x, y, cw, ch)
            if stmt.startswith('CONTROL '):
                cls = stmt.split()[1]
                line = 'CONTROL         %s, %s, "%s", %s, %s' % (quote(text), cid, cls,
                                                                   extra or '0', rect)
            elif stmt == 'EDITTEXT':
                line = '%-15s %s, %s' % (stmt, cid, rect)
                if extra:
                    line += ', ' + extra
            else:
                line = '%-15s %s, %s, %s' % (stmt, quote(text), cid, rect)
                if extra:
                    line += ', ' + extra
            out.append('    ' + line)
        out.append('END')
    data = ('\r\n'.join(out) + '\r\n').encode('cp%d' % cp)
    with open(os.path.join(HERE, name + '.rc'), 'wb') as f:
        f.write(data)


def main():
    ids = read_ids()
    errors = []
    for name, cp, language, mod in LANGS:
        mod.STRINGS[3178] = ORDER_KEY
    for name, cp, language, mod in LANGS:
        errors += check(name, cp, mod, ids)
    keys = set(texts_english.TEXTS)
    for name, cp, language, mod in LANGS:
        if set(mod.TEXTS) != keys:
            errors.append('%s: texts differ from English: %s' % (name, sorted(set(mod.TEXTS) ^ keys)))
    if errors:
        print('\n'.join(errors), file=sys.stderr)
        return 1
    for name, cp, language, mod in LANGS:
        write(name, cp, language, mod, ids)
    return 0


if __name__ == '__main__':
    sys.exit(main())
