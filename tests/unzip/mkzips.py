#!/usr/bin/env python3
"""Makes the ZIP engine's test archives: some with the `zip` tool, the rest
byte by byte, so that every header field is under control."""
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

OUT = sys.argv[1]
DATA = sys.argv[2] if len(sys.argv) > 2 else None   # tests/data/zip


def dos(y, mo, d, h=12, mi=0, s=0):
    return ((y - 1980) << 9) | (mo << 5) | d, (h << 11) | (mi << 5) | (s // 2)


DEFAULT_DATE, DEFAULT_TIME = dos(2021, 3, 4, 10, 20, 30)


class M:
    """One member. `data` is the plain content; `raw` overrides the stored bytes."""

    def __init__(self, name, data=b'', method=0, host=0, vermade=20, verneed=10, hostneed=0,
                 flags=0, intattr=0, extattr=0x20, date=DEFAULT_DATE, time=DEFAULT_TIME,
                 crc=None, raw=None, lname=None, comment=b'', offset_delta=0, descriptor=False, size=None):
        self.name = name if isinstance(name, bytes) else name.encode('latin-1')
        self.lname = self.name if lname is None else (lname if isinstance(lname, bytes) else lname.encode('latin-1'))
        self.data = data if size is None else b'\0' * size
        if raw is None:
            if method == 8:
                c = zlib.compressobj(9, zlib.DEFLATED, -15)
                raw = c.compress(data) + c.flush()
            else:
                raw = data
        self.raw = raw
        self.method, self.host, self.vermade, self.verneed, self.hostneed = method, host, vermade, verneed, hostneed
        self.flags = flags | (8 if descriptor else 0)
        self.intattr, self.extattr, self.date, self.time = intattr, extattr, date, time
        self.crc = zlib.crc32(data) if crc is None else crc
        self.comment = comment
        self.offset_delta = offset_delta
        self.descriptor = descriptor


def build(members, comment=b'', prefix=b'', adjust=False, disk=(0, 0), cd_offset=None, cd_size_delta=0,
          tail=b'', entries=None, local_absolute=False):
    """Archive bytes. `adjust` makes offsets count from the file start (as `zip -A` does)."""
    body = bytearray()
    offsets = []
    base = len(prefix) if (adjust or local_absolute) else 0
    for m in members:
        offsets.append(len(body) + base + m.offset_delta)
        lcrc, lcs, lus = (0, 0, 0) if m.descriptor else (m.crc, len(m.raw), len(m.data))
        body += struct.pack('<4sBBHHHHIIIHH', b'PK\x03\x04', m.verneed, m.hostneed, m.flags, m.method, m.time,
                            m.date, lcrc, lcs, lus, len(m.lname), 0)
        body += m.lname + m.raw
        if m.descriptor:
            body += struct.pack('<4sIII', b'PK\x07\x08', m.crc, len(m.raw), len(m.data))
    cd = bytearray()
    for m, off in zip(members, offsets):
        cd += struct.pack('<4sBBBBHHHHIIIHHHHHII', b'PK\x01\x02', m.vermade, m.host, m.verneed, m.hostneed,
                          m.flags, m.method, m.time, m.date, m.crc, len(m.raw), len(m.data), len(m.name), 0,
                          len(m.comment), 0, m.intattr, m.extattr, off)
        cd += m.name + m.comment
    cdoff = len(body) + (len(prefix) if adjust else 0)
    if cd_offset is not None:
        cdoff = cd_offset
    n = len(members) if entries is None else entries
    end = struct.pack('<4sHHHHIIH', b'PK\x05\x06', disk[0], disk[1], n, n, len(cd) + cd_size_delta, cdoff,
                      len(comment))
    return bytes(prefix) + bytes(body) + bytes(cd) + end + comment + tail


def write(name, data):
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def made_with_zip():
    src = os.path.join(OUT, 'src')
    os.makedirs(os.path.join(src, 'tree', 'sub', 'deeper'), exist_ok=True)
    os.makedirs(os.path.join(src, 'tree', 'emptydir'), exist_ok=True)
    rnd = random.Random(1234)
    files = {
        'text.txt': b''.join(b'line %d of a plain text file\n' % i for i in range(3000)),
        'binary.bin': bytes(rnd.getrandbits(8) for _ in range(70000)),
        'empty.dat': b'',
        'tree/a.txt': b'alpha\n' * 100,
        'tree/sub/b.txt': b'beta\n' * 200,
        'tree/sub/deeper/c.bin': bytes(range(256)) * 50,
        'unix.txt': b'one\ntwo\nthree\n',
        'dos.txt': b'one\r\ntwo\r\nthree\r\n',
    }
    for name, data in files.items():
        with open(os.path.join(src, name), 'wb') as f:
            f.write(data)
    env = dict(os.environ, TZ='UTC')
    def z(*args, stdin=None):
        subprocess.run(['zip', '-q', '-X'] + list(args), cwd=src, check=True, input=stdin, env=env)
    for level in range(10):
        z('-%d' % level, '../zip/level%d.zip' % level, 'text.txt', 'binary.bin', 'empty.dat')
    z('-r', '../zip/folders.zip', 'tree')
    z('-z', '../zip/comment.zip', 'unix.txt', stdin=b'An archive comment\nwith two lines\n')
    z('../zip/text.zip', 'unix.txt', 'dos.txt', 'binary.bin')
    stub = b'MZ' + bytes(rnd.getrandbits(8) for _ in range(3000))
    z('../zip/plain.zip', 'unix.txt', 'tree/a.txt')
    with open(os.path.join(OUT, 'zip', 'plain.zip'), 'rb') as f:
        plain = f.read()
    write('zip/stub_noadj.zip', stub + plain)
    write('zip/stub_adj.zip', stub + plain)
    subprocess.run(['zip', '-q', '-A', os.path.join(OUT, 'zip', 'stub_adj.zip')], check=True, env=env)


def made_by_hand():
    w = lambda name, *a, **k: write('py/' + name, build(*a, **k))
    hello = b'Hello, world!\n'
    w('dosnames.zip', [M('README.TXT', hello), M('Mixed.Txt', hello), M('DIR/SUB/FILE.DAT', hello * 3),
                       M('UPPER.TXT', hello, host=3), M('NTFS.TXT', hello, host=11), M('HPFS.TXT', hello, host=6)])
    w('folderattr.zip', [M('EMPTYDIR', extattr=0x10), M('OS2DIR', host=6, extattr=0x10),
                         M('unixdir', host=3, extattr=0x10), M('file.txt', hello, extattr=0x21)])
    big = b''.join(b'record %06d\n' % i for i in range(5000))
    w('descriptor.zip', [M('desc.txt', big, method=8, verneed=20, descriptor=True), M('after.txt', hello)])
    w('encrypted.zip', [M('secret.txt', hello, flags=1, raw=bytes(12) + hello), M('open.txt', hello)])
    w('method9.zip', [M('d64.bin', hello, method=9, raw=b'\x00' * 20), M('open.txt', hello)])
    w('ver21.zip', [M('new.txt', hello, verneed=21), M('open.txt', hello)])
    w('badcrc.zip', [M('bad.txt', hello, crc=0x12345678), M('good.txt', hello)])
    half = M('cut.txt', big, method=8, verneed=20)
    half.raw = half.raw[:len(half.raw) // 2]
    w('truncdata.zip', [half, M('good.txt', hello)])
    whole = build([M('a.txt', hello), M('b.txt', big, method=8, verneed=20)])
    write('py/truncfile.zip', whole[:len(whole) // 2])
    w('badoffset.zip', [M('good1.txt', hello), M('moved.txt', hello, offset_delta=7), M('good2.txt', hello)])
    pre = b'#!/bin/sh\necho stub\nexit 0\n' + b'#' * 73
    # local offsets count from the file start, the directory offset does not
    w('recomp.zip', [M('first.txt', hello), M('second.txt', hello)], prefix=pre, local_absolute=True)
    w('prefixed.zip', [M('first.txt', hello), M('second.txt', hello)], prefix=pre)
    w('nullcd.zip', [M('x.txt', hello)], prefix=pre, adjust=True, cd_offset=0)
    w('missing.zip', [M('x.txt', hello), M('y.txt', hello)], cd_size_delta=10)
    w('damagedend.zip', [M('x.txt', hello)], cd_offset=3)
    w('nocd.zip', [M('x.txt', hello)], cd_offset=5, cd_size_delta=44)   # sizes add up, no directory there
    write('py/noend.zip', b'This is not an archive at all.\n' * 10)
    write('py/noend.exe', b'MZ' + b'\x00' * 300)
    w('multidisk.zip', [M('x.txt', hello)], disk=(0, 1))
    w('seconddisk.zip', [M('x.txt', hello)], disk=(1, 1))
    w('empty.zip', [])
    w('emptymembers.zip', [M('zero1.txt'), M('zero2.txt', method=8, raw=b'\x03\x00', verneed=20),
                           M('some.txt', b'x' * 1000, method=8, verneed=20)])
    w('grown.zip', [M('grown.bin', b'ab', method=8, verneed=20)])
    # member and comment grow together, so that the end record moves through
    # every offset of its 2048-byte block and the tail changes too
    for n in range(0, 2101):
        w('comments/c%04d.zip' % n, [M('a.txt', b'x' * n)], comment=(b'c' * n))
    w('bigcomment.zip', [M('a.txt', hello)], comment=bytes((65 + i % 26) for i in range(65535)))
    w('toofar.zip', [M('a.txt', hello)], comment=b'z' * 65535, tail=b'\0' * 600)
    w('escomment.zip', [M('a.txt', hello)], comment=b'one\r\ntwo \x1b[1m bold\r\n')
    w('truncomment.zip', [M('a.txt', hello)], comment=b'short')
    with open(os.path.join(OUT, 'py', 'truncomment.zip'), 'r+b') as f:   # claims 40 bytes, holds 5
        data = bytearray(f.read())
        data[-7:-5] = struct.pack('<H', 40)
        f.seek(0)
        f.write(data)
    longname = ('n' * 150 + '/' + 'm' * 149).encode()   # 300 bytes
    w('longname.zip', [M(longname, hello, host=3), M('short.txt', hello, host=3)])
    many = [M(('member%03d_' % i) + 'q' * 180 + '.txt', b'%d' % i, host=3) for i in range(300)]
    w('many.zip', many)
    w('hostile.zip', [M('../evil1.txt', hello), M('a/../../evil2.txt', hello), M('..\\evil3.txt', hello),
                      M('dots/.. /evil4.txt', hello), M('/abs/path.txt', hello, host=3),
                      M('C:/drive.txt', hello, host=3), M('c:\\win\\back.txt', hello, host=3),
                      M('fine.txt', hello, lname='../localevil.txt', host=3), M('ok.txt', hello, host=3)])
    # names that climb only once mapped: each class of dropped byte, Ctrl-V,
    # mixed separators, names cut at 260 bytes, a local name unlike the central one
    w('escape.zip', [M('.\x01./evil1.txt', hello, host=3), M('.\x1f./evil2.txt', hello, host=3),
                     M(b'.\x7f./evil3.txt', hello, host=3), M(b'.\xff./evil4.txt', hello, host=3),
                     M('.\x16./evil5.txt', hello, host=3), M('.\x01./.\x02./evil6.txt', hello, host=3),
                     M('sub/.\x03.\\.\x04./evil7.txt', hello, host=3), M('sub\\..\x05/evil8.txt', hello, host=3),
                     M('deep/.\x06.', hello, host=3), M('..', hello, host=3),
                     M('x' * 257 + '/..' + '/evil9.txt', hello, host=3),
                     M('y' * 256 + '/C:' + '/evil10.txt', hello, host=3),
                     M('fine.txt', hello, lname='.\x01./localevil.txt', host=3), M('ok.txt', hello, host=3)])
    # with a root of 106 characters the path is cut at 260 right after ".."
    w('cut260.zip', [M('p' * 150 + '/..' + 'z' * 10, hello, host=3), M('ok.txt', hello, host=3)])
    # declared sizes that lie: a deflate bomb, stored and deflated members too long and too short
    w('sizes.zip', [M('bomb.bin', b'\0' * (10 << 20), method=8, verneed=20, size=100),
                    M('long.txt', b'x' * 50, size=20), M('short.txt', b'x' * 20, size=50),
                    M('shortdefl.txt', b'abc' * 100, method=8, verneed=20, size=400), M('good.txt', hello)])
    w('vms.zip', [M('FILE.TXT;3', hello, host=2, hostneed=2), M('open.txt', hello, host=3)])
    w('vmsname.zip', [M('FILE.TXT;12', hello, host=2), M('ver.txt;x', hello, host=3)])
    w('vollabel.zip', [M('MYLABEL', extattr=0x08), M('open.txt', hello, host=3)])
    w('names.zip', [M('my file.txt', hello, host=3), M('a:b.txt', hello, host=3),
                    M(b'ctl\x01name.txt', hello, host=3), M('lit\x16:x.txt', hello, host=3),
                    M('longdirectoryname.d/some.long.file.name.txt', hello, host=3),
                    M('aux.txt', hello, host=3)])
    cr_at_edge = b'a' * 32767 + b'\r\n' + b'b' * 100 + b'\n'
    w('textconv.zip', [M('mixed.txt', b'a\nb\r\nc\rd\r\r\ne', intattr=1), M('edge.txt', cr_at_edge, intattr=1),
                       M('edgedefl.txt', cr_at_edge, method=8, verneed=20, intattr=1),
                       M('bin.dat', b'x\ny\r\n', intattr=0), M('empty.txt', b'', intattr=1)])
    sd, st = dos(2020, 7, 1, 12, 0, 0)
    wd, wt = dos(2020, 1, 15, 12, 0, 0)
    w('times.zip', [M('summer.txt', hello, date=sd, time=st), M('winter.txt', hello, date=wd, time=wt, extattr=0x21)])
    od, ot = dos(2001, 1, 1, 0, 0, 0)
    nd, nt = dos(2030, 1, 1, 0, 0, 0)
    w('policy.zip', [M('old.txt', b'from archive\n', date=od, time=ot), M('new.txt', b'from archive\n', date=nd, time=nt),
                     M('missing.txt', b'from archive\n', date=nd, time=nt)])
    # for a visitor: a name stored with "\", a folder, an unsupported member, a deflated one
    w('visit.zip', [M('keep.txt', b'from archive\n'), M('dir\\back.txt', hello), M('sub/', extattr=0x10),
                    M('sub/blocked.txt', hello), M('d64.bin', hello, method=9, raw=b'\x00' * 20),
                    M('last.txt', big, method=8, verneed=20)])
    w('brackets.zip', [M('file[1].txt', b'bracketed\n', host=3), M('file2.txt', hello, host=3)])
    w('comments_member.zip', [M('a.txt', hello, comment=b'member comment')])
    if DATA:
        # an imploded member whose stated size is 10 bytes more than its data needs
        with open(os.path.join(DATA, 'pkzip-small', 'example-i.zip'), 'rb') as f:
            src = f.read()
        flags, method = struct.unpack('<HH', src[6:10])
        crc, csize, usize, nlen, xlen = struct.unpack('<IIIHH', src[14:30])
        raw = src[30 + nlen + xlen:30 + nlen + xlen + csize]
        w('implode_long.zip', [M('I.BIN', method=6, flags=flags, crc=crc, size=usize, raw=raw + b'\0' * 10)])


os.makedirs(OUT, exist_ok=True)
shutil.rmtree(os.path.join(OUT, 'src'), ignore_errors=True)
shutil.rmtree(os.path.join(OUT, 'zip'), ignore_errors=True)
os.makedirs(os.path.join(OUT, 'zip'))
made_with_zip()
made_by_hand()
