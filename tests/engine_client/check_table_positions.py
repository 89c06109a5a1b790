#!/usr/bin/env python3
"""Checks that the engine client and the plug-in agree on every table position and record layout.

(a) The engine client's declarations (engine_declarations.h), as clang lays them out for the
    Windows compilers' ABI: `-fdump-vtable-layouts -fdump-record-layouts` on layout_probe.cpp.
(b) The plug-in's engine-facing headers (the folder given with --plugin-headers), as g++ lays them
    out: `-fdump-lang-class`. With entry 0 spelled out as a plain virtual function and no virtual
    destructors, g++'s positions are the Windows compilers' positions. Pure declarations are given
    empty bodies in a scratch copy first, so that g++ names every entry instead of writing
    __cxa_pure_virtual.

Per interface and engine object the operation name at every position must agree (entry 0: the
client's destructor against the plug-in's deletingDestructor; client positions named reservedN or
unnamedN take any name). The client's records must have the sizes and offsets that the plug-in
asserts in its record_layout.h (read from there, not repeated here).
Prints one line per check ("PASS name" / "FAIL name: detail"); the exit code is the number of
failures.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The tables compared (the client's class names; the plug-in's are the same in namespace KMC).
TABLES = [
    "Plugin", "ComponentInterface", "OutputInterface", "PortInterface", "TimeMultiplierInterface",
    "VideoAdapterUnknown", "VideoAdapterHWND", "StandardAllocator<char>",
    "StandardAllocator<unsigned short>", "PluginHost", "ComponentContext", "MediaClock",
    "VideoSample", "UpstreamSource", "StreamObject",
]

# The plug-in's records (as record_layout.h names them) and the client's names of the same
# records and of the fields whose names differ; None: the client does not declare the record.
NARROW_STRING = "KMC::kestra_string<char, class KMC::StandardAllocator<char> >"
CLIENT_RECORDS = {
    "VideoSample": ("KMC::VideoSample", {}),
    "RectIntRecord": ("KMC::RectInt", {"left": None}),
    "RectFloatRecord": ("KMC::RectFloat", {"left": None}),
    "MaskedFloat4": None,
    "PropertyValue": ("KMC::PropertyValue", {}),
    "FormatDescriptor": ("KMC::FormatDescriptor", {}),
    "Plugin": ("KMC::Plugin", {"referenceCount_": "count", "host_": "hostObject",
                               "descriptor_": "descriptorRecord"}),
    "NarrowString": (NARROW_STRING, {}),
    "Setting": ("KMC::Setting", {}),
    "Node<NarrowString>": ("KMC::Node<class %s >" % NARROW_STRING, {}),
    "StringList": ("KMC::List<class %s >" % NARROW_STRING, {}),
    "EngineVector<const char*>": ("engine::vector<const char *>", {"endOfStorage": "end"}),
    "FormatList": ("engine::vector<struct KMC::FormatDescriptor>", {"endOfStorage": "end"}),
    "ChannelIdList": ("engine::list_int32", {"count": "size"}),
    "EngineListNode<int32_t>": ("engine::list_node", {}),
}
LAYOUT_LINE = re.compile(
    r"static_assert\((?:sizeof\((?P<sized>.+?)\)|offsetof\((?P<record>.+?), (?P<field>\w+)\))"
    r" == at\((?P<on32>\d+), (?P<on64>\d+)\)")


def record_expectations(arch, layout_header):
    """{client record: (size or None, {client field: offset})}, from the plug-in's assertions.

    A field the client names differently is mapped by CLIENT_RECORDS (None: the client's record
    has no such field, its base class holds it); private fields lose their trailing underscore.
    """
    expectations = {}
    with open(layout_header) as f:
        text = f.read()
    for m in LAYOUT_LINE.finditer(text):
        record = m.group("sized") or m.group("record")
        if record not in CLIENT_RECORDS:
            raise SystemExit("record_layout.h asserts %s, which this script cannot name on the "
                             "client's side: add it to CLIENT_RECORDS" % record)
        if CLIENT_RECORDS[record] is None:
            continue
        client, renamed = CLIENT_RECORDS[record]
        value = int(m.group("on32" if arch == "i686" else "on64"))
        size, fields = expectations.setdefault(client, (None, {}))
        if m.group("sized"):
            expectations[client] = (value, fields)
            continue
        field = m.group("field")
        field = renamed.get(field, field.rstrip("_"))
        if field is not None:
            fields[field] = value
    return expectations

PLACEHOLDER = re.compile(r"^(reserved|unnamed)\d+$")


def normalize_class(name):
    name = name.replace("KMC::", "").replace("short unsigned int", "unsigned short")
    return re.sub(r"\s+", "", name).replace("unsignedshort", "unsigned short")


def function_name(qualified):
    """'bool KMC::X::create(ComponentContext *)' -> ('KMC::X', 'create')."""
    m = re.search(r"((?:[\w:]|<[^()]*?>)+)::(~?\w+)\(", qualified)
    if not m:
        return None, qualified.strip()
    return m.group(1), m.group(2)


def parse_clang_tables(text):
    tables = {}
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        m = re.match(r"VFTable for '([^']+)'(?: in '([^']+)')? \((\d+) entr", lines[i])
        if not m:
            i += 1
            continue
        owner = m.group(2) or m.group(1)
        count = int(m.group(3))
        entries = {}
        j = i + 1
        while j < len(lines) and re.match(r"^\s+\d+ \| ", lines[j]):
            e = re.match(r"^\s+(\d+) \| (.*)$", lines[j])
            qualifier, name = function_name(e.group(2))
            entries[int(e.group(1))] = (qualifier, name, "[scalar deleting]" in e.group(2))
            j += 1
        if "<" not in owner and 0 in entries and "<" in (entries[0][0] or ""):
            owner = entries[0][0]
        key = normalize_class(owner)
        if key not in tables and len(entries) == count:
            tables[key] = [entries[k] for k in range(count)]
        i = j
    return tables


def parse_clang_records(text):
    records = {}
    blocks = text.split("*** Dumping AST Record Layout")
    for block in blocks[1:]:
        lines = block.strip("\n").splitlines()
        head = re.match(r"^\s*0 \| (?:class|struct|union) (.+)$", lines[0])
        if not head:
            continue
        name = head.group(1).strip()
        fields = {}
        size = None
        for line in lines[1:]:
            f = re.match(r"^\s*(\d+) \|   (\S.*?) (\w+)$", line)
            if f and not line.split("|", 1)[1].startswith("    "):
                fields[f.group(3)] = int(f.group(1))
            s = re.search(r"\[sizeof=(\d+)", line)
            if s:
                size = int(s.group(1))
                break
        records.setdefault(name, (size, fields))
        records.setdefault("raw:" + name, block)
    return records


def parse_gxx_tables(text):
    tables = {}
    for block in re.split(r"\n(?=Vtable for )", text):
        m = re.match(r"Vtable for (.+)\n", block)
        if not m:
            continue
        key = normalize_class(m.group(1).strip())
        rows = re.findall(r"^(\d+)\s+(.*)$", block, re.M)
        names = []
        seen_rtti = False
        for _, value in rows:
            if not seen_rtti:
                seen_rtti = "_ZTI" in value
                continue
            if re.match(r"\(int \(\*\)\(\.\.\.\)\)-?\d+$", value) or "_ZTI" in value:
                break  # a secondary table begins
            fn = re.sub(r"^\(int \(\*\)\(\.\.\.\)\)", "", value).strip()
            names.append(fn.split("::")[-1] if "::" in fn else fn)
        tables.setdefault(key, names)
    return tables


def clang_dump(arch, clang):
    triple = "i686-pc-windows-msvc" if arch == "i686" else "x86_64-pc-windows-msvc"
    cmd = [clang, "--target=" + triple, "-std=c++17", "-ffreestanding", "-fno-rtti",
           "-fno-exceptions", "-Xclang", "-fdump-vtable-layouts", "-Xclang",
           "-fdump-record-layouts", "-S", "-emit-llvm", "-o", os.devnull,
           os.path.join(HERE, "layout_probe.cpp")]
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def gxx_dump(headers, gxx):
    headers = os.path.abspath(headers)
    scratch = tempfile.mkdtemp(prefix="plugin-tables-")
    try:
        folder = os.path.join(scratch, os.path.basename(headers))
        shutil.copytree(headers, folder)
        pure = re.compile(r"\)(\s*const)?(\s*override)?\s*=\s*0\s*;")
        includes = []
        for path in sorted(glob.glob(os.path.join(folder, "*.h"))):
            with open(path) as f:
                text = f.read()
            with open(path, "w") as f:
                f.write(pure.sub(lambda m: ")" + (m.group(1) or "") + " {}", text))
            includes.append('#include "%s/%s"' % (os.path.basename(headers), os.path.basename(path)))
            if re.search(r"class\s+StandardAllocator\b", text):
                includes.append("template class KMC::StandardAllocator<char>;")
                includes.append("template class KMC::StandardAllocator<unsigned short>;")
        tu = os.path.join(scratch, "tables.cpp")
        with open(tu, "w") as f:
            f.write("\n".join(includes) + "\n")
        cmd = [gxx, "-std=c++17", "-w", "-fsyntax-only", "-fdump-lang-class", "-I", scratch,
               "-I", os.path.dirname(headers), tu]
        subprocess.run(cmd, check=True, capture_output=True, text=True, cwd=scratch)
        dumps = glob.glob(os.path.join(scratch, "*.class"))
        with open(dumps[0]) as f:
            return f.read()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


class Report:
    def __init__(self):
        self.failures = 0

    def check(self, ok, name, detail):
        if ok:
            print("PASS " + name)
        else:
            self.failures += 1
            print("FAIL %s: %s" % (name, detail))


def compare_tables(client, plugin, report):
    for table in TABLES:
        name = "table." + table
        ours = client.get(normalize_class(table))
        theirs = plugin.get(normalize_class(table))
        if ours is None:
            report.check(False, name, "the client's declarations have no such table")
            continue
        if theirs is None:
            report.check(False, name, "the plug-in's headers have no such table")
            continue
        problems = []
        for pos in range(max(len(ours), len(theirs))):
            mine = ours[pos] if pos < len(ours) else None
            other = theirs[pos] if pos < len(theirs) else None
            if mine is None or other is None:
                problems.append("%d: %s vs %s" % (pos, mine[1] if mine else "(none)",
                                                  other if other else "(none)"))
                continue
            _, op, deleting = mine
            if pos == 0:
                ok = deleting and op.startswith("~") and (
                    other == "deletingDestructor" or PLACEHOLDER.match(other))
            else:
                ok = (op == other) or bool(PLACEHOLDER.match(op))
            if not ok:
                problems.append("%d: %s vs %s" % (pos, op, other))
        report.check(not problems, name, "client vs plug-in at " + "; ".join(problems))


def compare_records(records, arch, layout_header, report):
    for record, (size, fields) in record_expectations(arch, layout_header).items():
        name = "record." + record
        if record not in records:
            report.check(False, name, "not in clang's dump")
            continue
        got_size, got_fields = records[record]
        problems = []
        if size is not None and got_size != size:
            problems.append("sizeof %s, expected %d" % (got_size, size))
        for field, offset in fields.items():
            if got_fields.get(field) != offset:
                problems.append("%s at %s, expected %d" % (field, got_fields.get(field), offset))
        report.check(not problems, name, "; ".join(problems))
    # The OutputComponent part: its virtual-base table pointer first, then the two virtual bases.
    p = 4 if arch == "i686" else 8
    raw = records.get("raw:KMC::OutputComponent", "")
    expected = [r"^\s*0 \|   \(OutputComponent vbtable pointer\)$",
                r"^\s*%d \|   class KMC::ComponentInterface \(virtual base\)$" % p,
                r"^\s*%d \|   class KMC::OutputInterface \(virtual base\)$" % (2 * p)]
    missing = [e for e in expected if not re.search(e, raw, re.M)]
    report.check(not missing, "record.KMC::OutputComponent",
                 "expected the vbtable pointer at 0, ComponentInterface at %d and OutputInterface "
                 "at %d" % (p, 2 * p))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--arch", choices=["i686", "x86_64"], required=True)
    parser.add_argument("--plugin-headers", required=True,
                        help="folder of the plug-in's engine-facing headers")
    parser.add_argument("--clang", default="clang-16")
    parser.add_argument("--gxx", default="g++")
    parser.add_argument("--client-dump", help="clang's dump, instead of running clang")
    parser.add_argument("--plugin-dump", help="g++'s class dump, instead of running g++")
    args = parser.parse_args()

    client_text = open(args.client_dump).read() if args.client_dump else clang_dump(args.arch, args.clang)
    plugin_text = open(args.plugin_dump).read() if args.plugin_dump else gxx_dump(args.plugin_headers, args.gxx)
    report = Report()
    compare_tables(parse_clang_tables(client_text), parse_gxx_tables(plugin_text), report)
    layout_header = os.path.join(args.plugin_headers, "record_layout.h")
    compare_records(parse_clang_records(client_text), args.arch, layout_header, report)
    return report.failures


if __name__ == "__main__":
    sys.exit(main())
