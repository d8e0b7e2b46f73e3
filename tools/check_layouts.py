#!/usr/bin/env python3
"""Checks the dialog layouts, the menu and the accelerators of the program.

Usage: check_layouts.py [--self-test] [--font FONT.ttf] RESOURCES_DIR

Reads DIALOG/<id>.txt, MENU/128.txt and ACCELERATORS/128.txt in their text
formats and checks them against the program's tables of what each dialog
holds (id, kind, text, initial visibility, default button, the sizes given
in dialog units), and the layout rules: every dialog on a 1280 x 1024
screen, every control inside its dialog, every text fitting its control in
the dialog font (Liberation Sans at 11 pixels, dialog base units 6 x 13; a
check box or radio button loses 16 pixels to its box, a push button 3 on
each side), no two interactive controls overlapping, each icon bar in one
row, the command buttons at the bottom.  The menu must hold every command
text of the frame's command table and nothing for the commands without a
text; every accelerator key must reach a command the frame, the application
or the views handle.  Prints one line per failure and exits 1 when any check
fails.  With --self-test it plants faults in copies of the files and fails
when a check misses one.
"""
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

FONT = '/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf'
FONT_PX = 11                 # the dialog font's em in pixels
BASE_X, BASE_Y = 6, 13       # dialog base units
LINE_PX = 13                 # one line of text
BOX_PX = 16                  # the box of a check box or radio button
BUTTON_EDGE_PX = 3           # a push button's frame, each side
SCREEN = (1280, 1024)

# --- the text formats ---------------------------------------------------------

STYLES = {'popup', 'child', 'caption', 'sysmenu', 'border', 'visible', 'modalframe', 'topmost'}
COMMON_FLAGS = {'hidden', 'disabled', 'group', 'tabstop', 'border'}
KIND_FLAGS = {
    'button': {'default'},
    'check': {'auto', 'pushlike'},
    'radio': {'auto'},
    'static': {'left', 'center', 'right', 'sunken', 'notify', 'noprefix'},
    'bitmap': {'sunken', 'notify', 'center'},
    'icon': set(),
    'frame': {'sunken', 'etched', 'black', 'gray', 'white'},
    'groupbox': set(),
    'edit': {'multiline', 'wantreturn', 'password', 'readonly', 'vscroll', 'hscroll', 'autohscroll',
             'autovscroll', 'number', 'center', 'right'},
    'slider': {'vertical', 'autoticks', 'noticks', 'both', 'top', 'left'},
    'progress': {'smooth', 'vertical'},
    'list': {'report', 'noheader', 'singlesel', 'showselalways', 'icon', 'smallicon'},
    'tab': set(),
    'combo': {'dropdown', 'dropdownlist', 'sort', 'vscroll'},
}
ESCAPES = {'"': '"', '\\': '\\', 't': '\t'}


class FormatError(Exception):
    pass


def tokens(line, where):
    """Blank-separated tokens; a quoted text is one token, kept as ('text', s)."""
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if c in ' \t\r':
            i += 1
        elif c == '"':
            i += 1
            s = []
            while True:
                if i >= n:
                    raise FormatError('%s: no closing quote' % where)
                c = line[i]
                if c == '"':
                    i += 1
                    break
                if c == '\\':
                    if i + 1 >= n or line[i + 1] not in ESCAPES:
                        raise FormatError('%s: bad escape' % where)
                    s.append(ESCAPES[line[i + 1]])
                    i += 2
                else:
                    s.append(c)
                    i += 1
            out.append(('text', ''.join(s)))
        else:
            j = i
            while j < n and line[j] not in ' \t\r':
                j += 1
            out.append(line[i:j])
            i = j
    return out


def number(tok, where, what):
    if isinstance(tok, tuple):
        raise FormatError('%s: %s expected, found a text' % (where, what))
    try:
        return int(tok, 16) if tok.lower().startswith('0x') else int(tok)
    except ValueError:
        raise FormatError('%s: %s expected, found \'%s\'' % (where, what, tok))


def text(tok, where):
    if not isinstance(tok, tuple):
        raise FormatError('%s: text in double quotes expected' % where)
    return tok[1]


def content_lines(path):
    with open(path, 'rb') as f:
        raw = f.read().decode('utf-8')
    for k, line in enumerate(raw.split('\n'), 1):
        s = line.strip()
        if s and not s.startswith('#'):
            yield k, line


class Control:
    def __init__(self, kind, cid, txt, x, y, w, h, flags, line):
        self.kind, self.id, self.text = kind, cid, txt
        self.x, self.y, self.w, self.h = x, y, w, h
        self.flags = flags
        self.line = line

    @property
    def visible(self):
        return 'hidden' not in self.flags

    def rect(self):
        return (self.x, self.y, self.x + self.w, self.y + self.h)


def parse_dialog(path, label):
    dlg = None
    for k, line in content_lines(path):
        where = '%s:%d' % (label, k)
        t = tokens(line, where)
        if dlg is None:
            if t[0] != 'dialog' or len(t) < 6:
                raise FormatError('%s: dialog header expected' % where)
            styles = t[6:]
            for s in styles:
                if s not in STYLES:
                    raise FormatError('%s: unknown style \'%s\'' % (where, s))
            if ('popup' in styles) == ('child' in styles):
                raise FormatError('%s: exactly one of popup and child' % where)
            dlg = {'id': number(t[1], where, 'id'), 'name': t[2], 'caption': text(t[3], where),
                   'w': number(t[4], where, 'width'), 'h': number(t[5], where, 'height'),
                   'styles': set(styles), 'controls': []}
            continue
        kind = t[0]
        if kind not in KIND_FLAGS:
            raise FormatError('%s: unknown control kind \'%s\'' % (where, kind))
        if len(t) < 7:
            raise FormatError('%s: id, text, x, y, w and h expected' % where)
        flags = t[7:]
        for f in flags:
            if f not in KIND_FLAGS[kind] | COMMON_FLAGS:
                raise FormatError('%s: unknown flag \'%s\' for %s' % (where, f, kind))
        dlg['controls'].append(Control(kind, number(t[1], where, 'id'), text(t[2], where),
                                       *(number(t[i], where, 'position') for i in range(3, 7)),
                                       set(flags), k))
    if dlg is None:
        raise FormatError('%s: empty' % label)
    return dlg


def parse_menu(path, label):
    """[(text, [items])]; an item is (id, text, flags), ('separator',) or a
    nested (text, [items])."""
    stack = [[]]
    for k, line in content_lines(path):
        where = '%s:%d' % (label, k)
        t = tokens(line, where)
        if t[0] == 'popup' and len(t) == 2:
            sub = (text(t[1], where), [])
            stack[-1].append(sub)
            stack.append(sub[1])
        elif t[0] == 'end' and len(t) == 1:
            if len(stack) == 1:
                raise FormatError('%s: end without popup' % where)
            stack.pop()
        elif t[0] == 'separator' and len(t) == 1:
            if len(stack) == 1:
                raise FormatError('%s: separator outside a popup' % where)
            stack[-1].append(('separator',))
        elif t[0] == 'item' and len(t) >= 3:
            if len(stack) == 1:
                raise FormatError('%s: item outside a popup' % where)
            for f in t[3:]:
                if f not in ('checked', 'grayed', 'disabled'):
                    raise FormatError('%s: unknown item flag \'%s\'' % (where, f))
            stack[-1].append((number(t[1], where, 'id'), text(t[2], where), set(t[3:])))
        else:
            raise FormatError('%s: unknown menu line' % where)
    if len(stack) != 1:
        raise FormatError('%s: popup without end' % label)
    return stack[0]


KEY_NAMES = {'Enter', 'Escape', 'Tab', 'Space', 'Delete', 'Insert', 'Home', 'End', 'PageUp', 'PageDown',
             'Left', 'Right', 'Up', 'Down', 'Backspace', 'Plus', 'Minus'}


def parse_accelerators(path, label):
    out = []
    for k, line in content_lines(path):
        where = '%s:%d' % (label, k)
        t = tokens(line, where)
        if len(t) != 2 or isinstance(t[0], tuple):
            raise FormatError('%s: <keys> <id> expected' % where)
        parts = t[0].split('+')
        mods, key = parts[:-1], parts[-1]
        for m in mods:
            if m not in ('Ctrl', 'Shift', 'Alt'):
                raise FormatError('%s: unknown modifier \'%s\'' % (where, m))
        if not (re.fullmatch(r'[A-Z0-9]', key) or re.fullmatch(r'F([1-9]|1[0-9]|2[0-4])', key)
                or key in KEY_NAMES):
            raise FormatError('%s: unknown key \'%s\'' % (where, key))
        out.append((frozenset(mods), key, number(t[1], where, 'id'), k))
    return out


# --- the dialog font ----------------------------------------------------------

class Font:
    """Advance widths of a TrueType font (cmap format 4, hmtx)."""

    def __init__(self, path):
        d = open(path, 'rb').read()
        tables = {}
        for i in range(struct.unpack_from('>H', d, 4)[0]):
            tag, _, off, ln = struct.unpack_from('>4sIII', d, 12 + 16 * i)
            tables[tag] = off
        self.upem = struct.unpack_from('>H', d, tables[b'head'] + 18)[0]
        nh = struct.unpack_from('>H', d, tables[b'hhea'] + 34)[0]
        self.adv = [struct.unpack_from('>H', d, tables[b'hmtx'] + 4 * i)[0] for i in range(nh)]
        self.cmap = {}
        co = tables[b'cmap']
        for i in range(struct.unpack_from('>H', d, co + 2)[0]):
            pid, eid, off = struct.unpack_from('>HHI', d, co + 4 + 8 * i)
            so = co + off
            if pid != 3 or eid != 1 or struct.unpack_from('>H', d, so)[0] != 4:
                continue
            seg2 = struct.unpack_from('>H', d, so + 6)[0]
            seg = seg2 // 2
            ends = struct.unpack_from('>%dH' % seg, d, so + 14)
            starts = struct.unpack_from('>%dH' % seg, d, so + 16 + seg2)
            deltas = struct.unpack_from('>%dh' % seg, d, so + 16 + 2 * seg2)
            rpos = so + 16 + 3 * seg2
            roffs = struct.unpack_from('>%dH' % seg, d, rpos)
            for s in range(seg):
                for c in range(starts[s], min(ends[s], 0xfffe) + 1):
                    if roffs[s] == 0:
                        g = (c + deltas[s]) & 0xffff
                    else:
                        g = struct.unpack_from('>H', d, rpos + 2 * s + roffs[s] + 2 * (c - starts[s]))[0]
                        g = (g + deltas[s]) & 0xffff if g else 0
                    self.cmap[c] = g

    def width(self, s, px=FONT_PX):
        """Pixels, each advance rounded up (hinting never makes a text wider)."""
        total = 0
        for ch in s:
            g = self.cmap.get(ord(ch), 0)
            total += int(math.ceil(self.adv[min(g, len(self.adv) - 1)] * px / self.upem))
        return total


def shown(s):
    """The drawn text: '&' marks a mnemonic, '&&' is one '&'."""
    return s.replace('&&', '\0').replace('&', '').replace('\0', '&')


def wrap(font, s, width):
    """Lines of a word-wrapped static, or None when one word is too wide."""
    lines, cur = [], ''
    for word in s.split(' '):
        if not word:
            cur += ' '
            continue
        if font.width(word) > width:
            return None
        cand = (cur + ' ' + word) if cur else word
        if font.width(cand) <= width:
            cur = cand
        else:
            lines.append(cur)
            cur = word
    lines.append(cur)
    return lines


def px_x(v):
    return v * BASE_X / 4.0


def px_y(v):
    return v * BASE_Y / 8.0


# --- what the program expects of each dialog ------------------------------------

class E:
    """One control a dialog must hold."""

    def __init__(self, cid, kind, txt='', visible=True, default=False, flags=(), alt=(), size=None,
                 picture=False):
        self.id, self.kind, self.text, self.visible, self.default = cid, kind, txt, visible, default
        self.flags, self.alt, self.size, self.picture = set(flags), tuple(alt), size, picture


def hints(strings, first, last):
    return [strings[i] for i in range(first, last + 1) if i in strings]


def point_hints(strings, names):
    """The longest texts the flashing hint of the point and curve pages shows."""
    tail = strings.get(61231, '') + strings.get(61229, '')
    return [n + tail for n in names]


def icon_bar(ids, bitmaps=None, hidden=(), size=None):
    bitmaps = bitmaps or ids
    return [E(i, 'bitmap', str(b), visible=i not in hidden, flags={'notify'}, size=size)
            for i, b in zip(ids, bitmaps)]


def point_page(strings, names, extra, hidden=(), hint_visible=True, radios_visible=True,
               clear_visible=True):
    alt = hints(strings, 61232, 61240) + point_hints(strings, names)
    return [
        E(1107, 'button', '<< Back'),
        E(1141, 'button', 'Next >>', default=True, alt=['OK']),
        E(1110, 'button', 'Clear All', visible=clear_visible, alt=['Again']),
        E(1111, 'button', 'Undo', visible=1111 not in hidden),
        E(1109, 'button', 'Redo', visible=1109 not in hidden),
        E(1139, 'button', 'Get Points', visible=False),
        E(1140, 'static', 'xxxx', visible=hint_visible, flags={'center'}, alt=alt),
        E(1096, 'radio', 'Male', visible=radios_visible, flags={'group'}),
        E(1097, 'radio', 'Female', visible=radios_visible),
    ] + icon_bar(list(range(380, 389)), hidden=hidden, size=(20, 20)) + extra


MODEL_ICONS = list(range(400, 412)) + [1126]
MODEL_BITMAPS = list(range(400, 413))


def model_page(strings, full):
    alt = hints(strings, 61251, 61261) + hints(strings, 61272, 61273)
    out = [
        E(1141, 'button', 'OK', default=True, alt=['Exit', 'Photoshop']),
        E(1122, 'button', 'Cancel', alt=['Export']),
        E(1107, 'button', 'Dots'),
        E(1087, 'slider'), E(-1, 'static', 'Age'),
        E(1102, 'slider'), E(-1, 'static', 'Weight'),
        E(1140, 'static', 'xxxx', flags={'center'}, alt=alt),
    ] + icon_bar(MODEL_ICONS, MODEL_BITMAPS, hidden=(402, 403, 411, 1126))
    if full:
        out += [
            E(1108, 'button', 'Front', visible=False),
            E(1109, 'button', 'Profile', visible=False),
            E(1111, 'button', 'Undo', visible=False),
            E(1129, 'button', 'Revert', visible=False),
            E(1103, 'slider', visible=False), E(-1, 'static', 'Asian', visible=False),
            E(1090, 'slider', visible=False), E(-1, 'static', 'African', visible=False),
            E(1091, 'slider', visible=False), E(-1, 'static', 'European', visible=False),
        ]
    return out


def expectations(strings, point_names, line_names):
    """dialog id -> (name or None, caption, size or None, child, controls,
    icon bars, command buttons exempt from the bottom rule, places shared by
    controls shown in turn)."""
    pose = [
        E(-1, 'static', 'Zoom, rotate and move the head into same position as the face !'),
        E(-1, 'static', 'Left mouse :     Rotate        (X, Y or Z axis, depend on the click)'),
        E(-1, 'static', 'Middle mouse : Zoom         ( + or -)'),
        E(-1, 'static', 'Right mouse :   Move'),
    ]
    editor = [
        E(1087, 'slider'), E(-1, 'static', 'Age'),
        E(1102, 'slider'), E(-1, 'static', 'Weight'),
        E(1098, 'radio', 'Easy', visible=False, flags={'group'}),
        E(1099, 'radio', 'Pro', visible=False),
    ]
    curve_alt = hints(strings, 61241, 61250) + point_hints(strings, line_names)
    progress_texts = ['Searching perspective', 'Changing geometry', 'Applying texture',
                      'Mirroring left to right', 'Mirroring right to left']
    crop_alt = hints(strings, 61262, 61271)
    bar = list(range(380, 389))
    return {
        232: ('IDD_CROP', 'Start', None, False, [
            E(1, 'button', 'Next >>', default=True),
            E(2, 'button', 'Cancel', visible=False),
            E(1107, 'button', '<< Back'),
            E(1123, 'frame', '', size=(391, 290)),
            E(1096, 'radio', 'Male', flags={'group'}, alt=['Michael 3']),
            E(1097, 'radio', 'Female', alt=['Victoria 4']),
            E(1159, 'radio', ''),
            E(1120, 'static', 'Name'),
            E(1114, 'edit'),
            E(1098, 'button', 'Load a Head OBJ...'),
            E(1158, 'static', ''),
            E(1152, 'radio', '512x512', flags={'group'}),
            E(1153, 'radio', '1024x1024'),
            E(1156, 'radio', '2048x2048'),
            E(1157, 'radio', '4096x4096'),
            E(1115, 'check', 'Zudadoz 3.5', flags={'auto'}),
            E(1140, 'static', 'xxxx', flags={'center'}, alt=crop_alt),
        ] + icon_bar(list(range(370, 380)), size=(20, 20)), [list(range(370, 380))], {1098}, []),
        245: ('IDD_FEATURES2', 'Points', None, False, point_page(strings, point_names, []), [bar], set(), []),
        311: ('IDD_FEATURES4', 'Points', None, False,
              point_page(strings, point_names, [E(1142, 'button', 'Select', visible=False)]), [bar], set(), []),
        314: ('IDD_FEATURES2B', 'Points', None, False,
              point_page(strings, point_names, pose, hint_visible=False, radios_visible=False,
                         clear_visible=False), [bar], set(), []),
        328: ('IDD_FEATURES2PS', 'Points', None, False,
              point_page(strings, point_names, editor, hidden=(380, 381, 1111, 1109)), [bar], set(), []),
        308: ('IDD_FEATURES3', 'Curves', None, False, [
            E(1107, 'button', '<< Back'),
            E(1141, 'button', 'Next >>', default=True),
            E(1110, 'button', 'Clear All'),
            E(1111, 'button', 'Undo'),
            E(1109, 'button', 'Redo'),
            E(1139, 'button', 'Get Curves', visible=False),
            E(1140, 'static', 'xxxx', flags={'center'}, alt=curve_alt),
        ] + icon_bar(list(range(390, 400))), [list(range(390, 400))], set(), []),
        309: ('IDD_MODEL', 'Model', (305, 150), True, model_page(strings, True), [MODEL_ICONS], set(), []),
        329: ('IDD_MODELPS', 'Model', (207, 159), True, model_page(strings, False), [MODEL_ICONS], set(), []),
        327: ('IDD_AGE', 'Age', (224, 124), True, [
            E(1, 'button', 'OK', default=True),
            E(2, 'button', 'Cancel'),
            E(1129, 'button', 'Revert'),
            E(1107, 'button', 'Dots'),
            E(1111, 'button', 'Undo'),
            E(1087, 'slider'), E(-1, 'static', 'Age'),
            E(1102, 'slider'), E(-1, 'static', 'Weight'),
            E(1103, 'slider'), E(-1, 'static', 'Asian'),
            E(1090, 'slider'), E(-1, 'static', 'African'),
            E(1091, 'slider', visible=False), E(-1, 'static', 'European', visible=False),
        ], [], set(), []),
        315: ('IDD_REFINE', 'Refine', (252, 95), False, [
            E(1, 'button', 'Use Present View', default=True),
            E(2, 'button', 'Use New Photo'),
            E(3, 'button', 'Cancel'),
            E(-1, 'static', 'When clicking here, the present view in the right window will be transfered '
                            'back to the previous screen as an image.'),
            E(-1, 'static', 'When clicking here, user will be taken back to the beginning and can load a '
                            'new image. (The new morph shape is alse loaded).'),
        ], [], {1, 2}, []),
        179: ('IDD_DLGSET', 'Dialog', (52, 238), True, [
            E(1087, 'slider', 'Slider1', flags={'vertical'}),
            E(1092, 'slider'), E(-1, 'static', 'Right'), E(-1, 'static', 'Both'), E(-1, 'static', 'Left'),
            E(1102, 'slider'), E(1112, 'static', 'Range'),
            E(1103, 'slider'), E(-1, 'static', 'Soft'), E(-1, 'static', 'Hard'),
            E(1091, 'static', 'Range range'),
            E(1150, 'static', '0'), E(1151, 'static', '0'),
            E(1152, 'static', 'L'), E(1153, 'static', 'R'),
            E(1154, 'static', 'cm3'), E(1155, 'static', 'cm3'),
            E(1132, 'check', 'Areas', visible=False),
        ], [], set(), []),
        181: (None, 'Jellegzetes részek', None, False, [
            E(1025, 'tab'),
            E(1031, 'list', 'Points', flags={'report', 'noheader'}),
            E(1032, 'list', 'Curves', visible=False, flags={'report', 'noheader'}),
            E(1033, 'list', '', visible=False, flags={'report', 'noheader'}),
            E(1037, 'static', 'Az aktív ablakban nem lehet a jellegzetes részeket szerkeszteni!', visible=False),
            E(1042, 'button', 'Get next'),
            E(2, 'button', 'OK'),
        ], [], set(), [{1031, 1032, 1033}]),
        182: ('IDD_DLGFREETOOL', 'Freehand', (52, 143), False, [
            E(-1, 'static', 'Range'),
            E(1087, 'slider'),
            E(1128, 'radio', 'Radio1', flags={'group'}, picture=True),
            E(1129, 'radio', 'Radio2', picture=True),
            E(1130, 'radio', 'Radio3', picture=True),
            E(1131, 'radio', 'Radio4', picture=True),
            E(1158, 'check', 'Mirror'),
        ], [], set(), []),
        194: ('IDD_BRUSHSELECT', 'Brush', (52, 153), False, [
            E(1087, 'slider'), E(-1, 'static', 'Size'),
            E(1102, 'slider'), E(-1, 'static', 'Transparent'),
            E(1111, 'frame', '', flags={'sunken'}),
            E(1158, 'check', 'Mirror'),
            E(1128, 'button', 'Load Other'),
        ], [], set(), []),
        244: (None, 'Body prepare', None, False, [
            E(1, 'button', 'OK', default=True),
            E(1139, 'button', 'Again'),
            E(1140, 'static', 'xxxx', flags={'center'}),
        ], [], set(), []),
        301: (None, '', (143, 143), True, [
            E(303, 'static', '', flags={'sunken'}, size=(128, 128)),
            E(119, 'static', '', alt=['Cancel, if you use only Ostrelo']),
            E(1119, 'static', ''),
        ], [], set(), []),
        313: ('IDD_MAKEBMP', 'BMP', None, False, [
            E(1, 'button', 'Next', default=True),
            E(2, 'button', 'Cancel'),
            E(1141, 'static', '0'),
            E(1142, 'static', '', alt=['/tmp/fmtmp\\kv000.bmp']),
        ], [], set(), []),
        133: ('IDD_PROGRESS', '', (209, 39), False, [
            E(1015, 'progress', 'Progress1'),
            E(1037, 'static', '', alt=progress_texts),
            E(1026, 'button', 'Stop', visible=False),
        ], [], set(), []),
        233: ('IDD_NOTES', 'Notes', (412, 277), False, [
            E(1125, 'edit', '', flags={'multiline', 'vscroll', 'autovscroll', 'wantreturn'}),
            E(1, 'button', 'OK', default=True),
            E(2, 'button', 'Cancel'),
        ], [], set(), []),
        171: ('IDD_LOGIN', 'Entry', (192, 29), False, [
            E(1069, 'edit', '', flags={'password', 'autohscroll'}),
            E(1068, 'edit', '', visible=False),
            E(-1, 'static', 'Username', visible=False),
            E(-1, 'static', 'Password'),
            E(1, 'button', 'OK', default=True),
            E(2, 'button', 'Cancel', visible=False),
        ], [], set(), []),
        312: ('IDD_ABOUTBOX', 'About Brivanta', None, False, [
            E(-1, 'bitmap', '312'),
            E(-1, 'static', 'Brivanta'),
            E(-1, 'static', 'Version 5.0'),
            E(1, 'button', 'OK', default=True),
        ], [], set(), []),
    }


INTERACTIVE = {'button', 'check', 'radio', 'edit', 'slider', 'list', 'tab', 'combo'}
CHILD_ONLY_CAPTION = {301, 133}   # no caption bar at all


class Report:
    def __init__(self):
        self.failures = []

    def fail(self, msg):
        self.failures.append(msg)


def overlap(a, b):
    ax0, ay0, ax1, ay1 = a.rect()
    bx0, by0, bx1, by1 = b.rect()
    return ax0 < bx1 and bx0 < ax1 and ay0 < by1 and by0 < ay1


def check_dialog(rep, font, dlg, exp, label):
    name, caption, size, child, controls, bars, exempt, shared = exp
    if name and dlg['name'] != name:
        rep.fail('%s: name %s, expected %s' % (label, dlg['name'], name))
    if dlg['caption'] != caption:
        rep.fail('%s: caption "%s", expected "%s"' % (label, dlg['caption'], caption))
    if ('child' in dlg['styles']) != child:
        rep.fail('%s: %s expected' % (label, 'child' if child else 'popup'))
    has_caption = 'caption' in dlg['styles']
    if has_caption == (dlg['id'] in CHILD_ONLY_CAPTION):
        rep.fail('%s: %s caption bar expected' % (label, 'no' if has_caption else 'a'))
    if size and (dlg['w'], dlg['h']) != size:
        rep.fail('%s: size %dx%d, expected %dx%d' % (label, dlg['w'], dlg['h'], size[0], size[1]))
    if px_x(dlg['w']) > SCREEN[0] or px_y(dlg['h']) > SCREEN[1] - 2 * LINE_PX:
        rep.fail('%s: larger than the screen' % label)

    # every expected control once, nothing else
    left = list(dlg['controls'])
    matched = []
    for e in controls:
        cands = [c for c in left if c.id == e.id and (e.id != -1 or (c.kind == e.kind and c.text == e.text))]
        if not cands:
            rep.fail('%s: control %d %s "%s" missing' % (label, e.id, e.kind, e.text))
            continue
        c = cands[0]
        left.remove(c)
        matched.append((c, e))
        where = '%s:%d: control %d' % (label, c.line, c.id)
        if c.kind != e.kind:
            rep.fail('%s: kind %s, expected %s' % (where, c.kind, e.kind))
        if c.text != e.text:
            rep.fail('%s: text "%s", expected "%s"' % (where, c.text, e.text))
        if c.visible != e.visible:
            rep.fail('%s: %s expected' % (where, 'visible' if e.visible else 'hidden'))
        if ('default' in c.flags) != e.default:
            rep.fail('%s: %s default button' % (where, 'a' if e.default else 'not the'))
        for f in e.flags - c.flags:
            rep.fail('%s: flag %s missing' % (where, f))
        if e.size and (c.w, c.h) != e.size:
            rep.fail('%s: size %dx%d, expected %dx%d' % (where, c.w, c.h, e.size[0], e.size[1]))
    for c in left:
        rep.fail('%s:%d: control %d %s "%s" not expected' % (label, c.line, c.id, c.kind, c.text))
    defaults = [c for c in dlg['controls'] if 'default' in c.flags]
    if len(defaults) > 1:
        rep.fail('%s: %d default buttons' % (label, len(defaults)))

    # inside, texts fit
    for c, e in matched:
        where = '%s:%d: control %d' % (label, c.line, c.id)
        if c.x < 0 or c.y < 0 or c.x + c.w > dlg['w'] or c.y + c.h > dlg['h'] or c.w <= 0 or c.h <= 0:
            rep.fail('%s: outside the dialog' % where)
        check_fit(rep, font, c, e, where)

    # no two interactive controls overlap
    act = [c for c in dlg['controls'] if c.kind in INTERACTIVE or (c.kind == 'bitmap' and 'notify' in c.flags)]
    for i in range(len(act)):
        for j in range(i + 1, len(act)):
            a, b = act[i], act[j]
            if any(a.id in s and b.id in s for s in shared):
                continue
            if overlap(a, b):
                rep.fail('%s: controls %d and %d overlap' % (label, a.id, b.id))

    # icon bars: one row, in order
    byid = {c.id: c for c in dlg['controls']}
    for ids in bars:
        row = [byid[i] for i in ids if i in byid]
        if len(row) != len(ids):
            continue
        if len({(c.y, c.h) for c in row}) != 1:
            rep.fail('%s: icon bar %d-%d not in one row' % (label, ids[0], ids[-1]))
        for a, b in zip(row, row[1:]):
            if b.x < a.x + a.w:
                rep.fail('%s: icon %d not right of icon %d' % (label, b.id, a.id))

    # command buttons at the bottom: nothing but buttons starts below them,
    # and the lowest row ends near the dialog's edge
    commands = [c for c in dlg['controls'] if c.kind == 'button' and c.id not in exempt]
    for c in commands:
        for o in dlg['controls']:
            if o.kind != 'button' and o.y >= c.y + c.h:
                rep.fail('%s: control %d below button %d' % (label, o.id, c.id))
    if commands and max(c.y + c.h for c in commands) < dlg['h'] - 12:
        rep.fail('%s: the buttons are not at the bottom' % label)


def check_fit(rep, font, c, e, where):
    if e.picture:
        return
    w, h = px_x(c.w), px_y(c.h)
    for t in [c.text] + list(e.alt):
        s = shown(t) if 'noprefix' not in c.flags else t
        if not s:
            continue
        tw = font.width(s)
        if c.kind == 'button':
            if tw > w - 2 * BUTTON_EDGE_PX or h < LINE_PX + 4:
                rep.fail('%s: "%s" (%d px) does not fit the button (%d px)' % (where, s, tw, w))
        elif c.kind in ('check', 'radio', 'groupbox'):
            if tw > w - BOX_PX or h < LINE_PX:
                rep.fail('%s: "%s" (%d px) does not fit beside the box (%d px)' % (where, s, tw, w))
        elif c.kind == 'static':
            if h < LINE_PX:
                rep.fail('%s: lower than a line of text' % where)
            elif h < 2 * LINE_PX:
                if tw > w:
                    rep.fail('%s: "%s" (%d px) does not fit (%d px)' % (where, s, tw, w))
            else:
                lines = wrap(font, s, w)
                if lines is None or len(lines) * LINE_PX > h:
                    rep.fail('%s: "%s" does not fit in %d lines' % (where, s, int(h // LINE_PX)))


# --- menu and accelerators ----------------------------------------------------

# The frame's and the application's commands with their texts (None: no text).
COMMANDS = {
    57600: 'New', 32899: None, 32898: None, 32821: 'Start', 32797: 'New photo', 32801: 'Head import',
    32792: 'Head export', 32795: 'Open', 32796: 'Save', 32930: 'GIF', 32824: 'Statistic', 33025: 'Notes',
    32902: 'Head preparing', 32928: 'Full screen', 32927: 'Dual screen', 32929: None, 32779: 'Select',
    32778: 'Zoom', 32863: 'Rectangle zoom', 32864: 'Rectangle zoom', 32802: 'Move', 32780: 'Show all',
    32865: None, 32787: 'Line', 32932: 'Step 1', 32789: 'Step 2', 32823: 'Step 3', 32826: None,
    32940: 'Properties', 32946: None, 32800: 'Photo export', 32949: None, 32950: None,
    32807: 'Function1', 32808: 'Function2', 32809: 'Function3', 32810: 'Function4', 32811: 'Function5',
    32844: 'Function6', 32845: 'Function7', 32846: 'Function8', 32847: 'Function9', 32848: 'Function10',
    57616: 'Open this document',
    57664: 'About Brivanta...', 32953: 'About', 32917: 'Tervanik on Web', 32918: 'Mail to Tervanik',
}
# Ids of the update table that no command handler takes: kept in the "_" menu.
UPDATE_ONLY = {32954: 'Z scale', 32912: 'Brightness / Contrast', 32911: 'Depth',
               32799: 'Show points and lines on/off', 32812: 'Export coin', 32942: 'Rotate',
               32905: 'Coloured on/off', 32906: 'Text settings'}
# The views' next and previous pane.
VIEW_COMMANDS = {0xE150, 0xE151}

ACCELERATORS = {
    (frozenset({'Ctrl'}), 'N'): 57600, (frozenset({'Ctrl'}), 'O'): 32795, (frozenset({'Ctrl'}), 'S'): 32796,
    (frozenset({'Ctrl'}), 'Z'): 32899, (frozenset({'Ctrl'}), 'Y'): 32898, (frozenset(), 'F6'): 0xE150,
    (frozenset({'Shift'}), 'F6'): 0xE151, (frozenset({'Ctrl', 'Shift'}), 'F12'): 32946,
}


def menu_items(items):
    for it in items:
        if len(it) == 2:
            yield from menu_items(it[1])
        elif len(it) == 3:
            yield it


def check_menu(rep, menu, label):
    tops = [m[0] for m in menu]
    if not tops or tops[0] != 'File':
        rep.fail('%s: "File" must be the first menu' % label)
    if tops.count('Help') != 1:
        rep.fail('%s: one menu with the text "Help" expected' % label)
    if sum(1 for t in tops if t.startswith('_')) != 1:
        rep.fail('%s: one menu whose text begins with "_" expected' % label)
    items = list(menu_items(menu))
    seen = {}
    for cid, txt, _ in items:
        if cid in seen:
            rep.fail('%s: id %d twice' % (label, cid))
        seen[cid] = txt.split('\t')[0]
    for cid, want in list(COMMANDS.items()) + list(UPDATE_ONLY.items()):
        if want is None:
            if cid in seen:
                rep.fail('%s: id %d has no text and no item' % (label, cid))
        elif seen.get(cid) != want:
            rep.fail('%s: id %d should read "%s", reads %s' % (label, cid, want,
                                                               '"%s"' % seen[cid] if cid in seen else 'nothing'))
    for cid in seen:
        if cid not in COMMANDS and cid not in UPDATE_ONLY:
            rep.fail('%s: id %d is no command of the program' % (label, cid))
    underscore = [m for m in menu if m[0].startswith('_')]
    if underscore:
        inside = {it[0] for it in menu_items(underscore[0][1])}
        for cid in UPDATE_ONLY:
            if cid not in inside:
                rep.fail('%s: %d belongs in the "_" menu' % (label, cid))


def check_accelerators(rep, acc, label):
    got = {}
    for mods, key, cid, line in acc:
        if (mods, key) in got:
            rep.fail('%s:%d: key given twice' % (label, line))
        got[(mods, key)] = cid
        if cid not in COMMANDS and cid not in VIEW_COMMANDS:
            rep.fail('%s:%d: id %d reaches no handled command' % (label, line, cid))
    if got != ACCELERATORS:
        rep.fail('%s: keys differ from the table' % label)


# --- the run ----------------------------------------------------------------

def read_strings(res):
    out = {}
    path = os.path.join(res, 'STRINGTABLE', '1.txt')
    for _, line in content_lines(path):
        m = re.match(r'\s*(\d+)\s+"(.*)"\s*$', line)
        if m:
            out[int(m.group(1))] = m.group(2).replace('\\"', '"').replace('\\\\', '\\')
    return out


def table_names(res, number, column):
    out = []
    with open(os.path.join(res, 'FEATURES', '%d.txt' % number), 'rb') as f:
        for line in f.read().decode('utf-8').split('\n'):
            if line.strip() and not line.startswith('#'):
                cells = [x.strip() for x in line.split(',')]
                if '@' not in cells[0]:
                    out.append(cells[column])
    return out


def check_all(res, font_path):
    rep = Report()
    font = Font(font_path)
    strings = read_strings(res)
    exp = expectations(strings, table_names(res, 143, 8), table_names(res, 151, 3))
    folder = os.path.join(res, 'DIALOG')
    found = set()
    for name in sorted(os.listdir(folder)):
        m = re.fullmatch(r'(\d+)\.txt', name)
        if not m:
            continue
        label = 'DIALOG/' + name
        try:
            dlg = parse_dialog(os.path.join(folder, name), label)
        except FormatError as e:
            rep.fail(str(e))
            continue
        if dlg['id'] != int(m.group(1)):
            rep.fail('%s: header names dialog %d' % (label, dlg['id']))
        found.add(dlg['id'])
        if dlg['id'] not in exp:
            rep.fail('%s: no such dialog in the program' % label)
            continue
        check_dialog(rep, font, dlg, exp[dlg['id']], label)
    for d in sorted(set(exp) - found):
        rep.fail('DIALOG/%d.txt missing' % d)
    try:
        check_menu(rep, parse_menu(os.path.join(res, 'MENU', '128.txt'), 'MENU/128.txt'), 'MENU/128.txt')
    except (FormatError, OSError) as e:
        rep.fail(str(e))
    try:
        check_accelerators(rep, parse_accelerators(os.path.join(res, 'ACCELERATORS', '128.txt'),
                                                   'ACCELERATORS/128.txt'), 'ACCELERATORS/128.txt')
    except (FormatError, OSError) as e:
        rep.fail(str(e))
    return rep.failures


# Faults the checks must catch: (file, old text, new text, a word of the
# expected failure).
PLANTED = [
    ('DIALOG/309.txt', 'dialog 309 IDD_MODEL "Model" 305 150', 'dialog 309 IDD_MODEL "Model" 305 151', 'size 305x151'),
    ('DIALOG/232.txt', 'frame 1123 "" 7 7 391 290', 'frame 1123 "" 7 7 390 290', 'size 390x290'),
    ('DIALOG/232.txt', 'button 1098 "Load a Head OBJ..." 406 76 110 14',
     'button 1098 "Load a Head OBJ..." 406 76 70 14', 'does not fit the button'),
    ('DIALOG/232.txt', 'check 1115 "Zudadoz 3.5" 406 174 110 10', 'check 1115 "Zudadoz 3.5" 406 174 50 10',
     'beside the box'),
    ('DIALOG/232.txt', 'radio 1097 "Female" 406 19 110 10', 'radio 1097 "Female" 406 19 40 10', 'Victoria 4'),
    ('DIALOG/315.txt', '8 25 114 44', '8 25 114 20', 'lines'),
    ('DIALOG/245.txt', 'button 1111 "Undo" 82 235', 'button 1111 "Undo" 62 235', 'overlap'),
    ('DIALOG/245.txt', 'bitmap 384 "384" 120 197', 'bitmap 384 "384" 120 199', 'one row'),
    ('DIALOG/308.txt', 'button 1110 "Clear All" 32 150', 'button 1110 "Clear All" 32 50', 'below button 1110'),
    ('DIALOG/313.txt', '"BMP" 200 62', '"BMP" 200 90', 'not at the bottom'),
    ('DIALOG/313.txt', '"BMP" 200 62', '"BMP" 900 62', 'larger than the screen'),
    ('DIALOG/308.txt', 'button 1139 "Get Curves" 182 150 46 14 hidden', 'button 1139 "Get Curves" 182 150 46 14',
     'hidden expected'),
    ('DIALOG/245.txt', 'button 1141 "Next >>" 206 253 50 14 default', 'button 1141 "Next >>" 206 253 50 14',
     'default button'),
    ('DIALOG/327.txt', 'button 1129 "Revert"', 'button 1129 "Revet"', 'text "Revet"'),
    ('DIALOG/171.txt', 'edit 1069 "" 42 15 80 12 password', 'edit 1069 "" 42 15 80 12', 'flag password'),
    ('DIALOG/133.txt', 'button 1026 "Stop"', 'buton 1026 "Stop"', "unknown control kind 'buton'"),
    ('DIALOG/312.txt', 'static -1 "Version 5.0" 115 34 100 10',
     'static -1 "Version 5.0" 115 34 100 10\nstatic 999 "extra" 115 48 100 10', 'not expected'),
    ('DIALOG/301.txt', 'static 303 "" 8 14 128 128 sunken', 'static 303 "" 8 16 128 128 sunken', 'outside'),
    ('MENU/128.txt', '  item 32787 "Line"\n', '', 'id 32787'),
    ('MENU/128.txt', 'popup "Help"', 'popup "&Help"', '"Help"'),
    ('MENU/128.txt', '  item 32821 "Start"\n', '  item 32821 "Start"\n  item 32865 "Back picture"\n',
     'id 32865'),
    ('ACCELERATORS/128.txt', 'Ctrl+Y 32898', 'Ctrl+Y 32897', 'no handled command'),
]


def measured_by_imagemagick(font_path, s):
    out = subprocess.run(['convert', '-font', font_path, '-pointsize', str(FONT_PX), '-density', '72',
                          'label:' + s, '-trim', '-format', '%w', 'info:'],
                         check=True, capture_output=True, text=True).stdout
    return int(out)


def self_test(res, font_path):
    if check_all(res, font_path):
        print('self-test: the committed files must pass first')
        return 1
    missed = 0
    # the widths read from the font agree with a renderer: never narrower
    # than the inked text, and not wider by more than the rounding per letter
    font = Font(font_path)
    if shutil.which('convert'):
        for s in ('Load a Head OBJ...', 'Photoshop', 'Transparent', 'Jellegzetes részek', 'Mirrror Right',
                  'WWWWMMMM', 'iiiillll'):
            ink, ours = measured_by_imagemagick(font_path, s), font.width(s)
            if not ink <= ours <= ink + len(s) + 2:
                print('self-test: "%s" measures %d px, drawn %d px' % (s, ours, ink))
                missed += 1
    for rel, old, new, word in PLANTED:
        tmp = tempfile.mkdtemp()
        try:
            for sub in ('DIALOG', 'MENU', 'ACCELERATORS', 'STRINGTABLE', 'FEATURES'):
                shutil.copytree(os.path.join(res, sub), os.path.join(tmp, sub))
            path = os.path.join(tmp, rel)
            body = open(path, encoding='utf-8').read()
            if old not in body:
                print('self-test: planted text not found in %s: %s' % (rel, old))
                missed += 1
                continue
            with open(path, 'w', encoding='utf-8') as f:
                f.write(body.replace(old, new, 1))
            found = check_all(tmp, font_path)
            if not any(word in f for f in found):
                print('self-test: %s: no failure with "%s" after %s -> %s' % (rel, word, old, new))
                missed += 1
        finally:
            shutil.rmtree(tmp)
    return 1 if missed else 0


def main(argv):
    args = argv[1:]
    font = FONT
    test = False
    if '--font' in args:
        i = args.index('--font')
        font = args[i + 1]
        del args[i:i + 2]
    if '--self-test' in args:
        args.remove('--self-test')
        test = True
    if len(args) != 1:
        print(__doc__)
        return 2
    if test:
        return self_test(args[0], font)
    failures = check_all(args[0], font)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
