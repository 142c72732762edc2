#!/usr/bin/env python3
"""Reads the version and manifest resources back from a PE file.

pe_resources.py FILE             prints key=value lines: the fixed and string versions of the
                                 VERSIONINFO resource, the number of manifests and the version
                                 in each manifest's assemblyIdentity
pe_resources.py --manifest FILE  prints the text of the one manifest (exit 1 unless exactly one)
pe_resources.py --rcdata OUT FILE
                                 writes the one RCDATA resource to OUT (exit 1 unless exactly one)
pe_resources.py --types FILE     prints the type id of every resource, one a line ("named" for a
                                 type of a name)
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_RCDATA = 10
RT_VERSION = 16
RT_MANIFEST = 24
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


class PeImage:
    def __init__(self, data):
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise ValueError("no MZ header")
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        (magic,) = struct.unpack_from("<H", data, optional)
        directories = optional + {0x10B: 96, 0x20B: 112}[magic]
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i)
                         for i in range(sections)]
        self.data = data

    def offset(self, rva):
        for virtual_size, address, raw_size, raw_pointer in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def resources(self):
        """Yields (type id, bytes) for every resource; named types come back with id None."""
        if not self.resource_rva:
            return
        base = self.offset(self.resource_rva)

        def walk(directory, type_id, depth):
            named, ids = struct.unpack_from("<12xHH", self.data, base + directory)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if depth == 0:
                    type_id = None if name & 0x80000000 else name
                if target & 0x80000000:
                    yield from walk(target & 0x7FFFFFFF, type_id, depth + 1)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(rva)
                    yield type_id, self.data[start:start + size]

        yield from walk(0, None, 0)


def align4(n):
    return (n + 3) & ~3


def parse_block(data, start):
    """One VERSIONINFO block: (key, value bytes, value is text, children, end offset)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, start)
    key_end = start + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[start + 6:key_end].decode("utf-16-le")
    value_start = align4(key_end + 2)
    value_bytes = value_length * 2 if is_text else value_length
    value = data[value_start:value_start + value_bytes]
    children = []
    child = align4(value_start + value_bytes)
    while child < start + length:
        block = parse_block(data, child)
        children.append(block)
        child = align4(block[4])
    return key, value, is_text, children, start + length


def dotted(high, low):
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def version_lines(resource):
    key, value, _, children, _ = parse_block(resource, 0)
    if key != "VS_VERSION_INFO":
        raise ValueError(f"version resource starts with {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", value)
    if signature != FIXED_FILE_INFO_SIGNATURE:
        raise ValueError("version resource lacks its fixed file info")
    lines = [f"fixed_file_version={dotted(file_ms, file_ls)}",
             f"fixed_product_version={dotted(product_ms, product_ls)}"]
    for child_key, _, _, tables, _ in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, _, strings, _ in tables:
            for name, text, _, _, _ in strings:
                if name in ("FileVersion", "ProductVersion"):
                    lines.append(f"string_{name}={text.decode('utf-16-le').rstrip(chr(0))}")
    return lines


def assembly_version(manifest):
    root = ET.fromstring(manifest)
    identity = root.find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
    return "" if identity is None else identity.get("version", "")


def main(argv):
    args = argv[1:]
    want_manifest = args[:1] == ["--manifest"]
    want_types = args[:1] == ["--types"]
    rcdata_out = args[1] if args[:1] == ["--rcdata"] and len(args) > 1 else None
    if want_manifest or want_types:
        args = args[1:]
    elif rcdata_out is not None:
        args = args[2:]
    if len(args) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(args[0], "rb") as f:
        image = PeImage(f.read())
    resources = list(image.resources())
    manifests = [data for type_id, data in resources if type_id == RT_MANIFEST]
    if want_types:
        for type_id, _ in resources:
            print("named" if type_id is None else type_id)
        return 0
    if rcdata_out is not None:
        rcdata = [data for type_id, data in resources if type_id == RT_RCDATA]
        if len(rcdata) != 1:
            print(f"{args[0]}: {len(rcdata)} RCDATA resources", file=sys.stderr)
            return 1
        with open(rcdata_out, "wb") as f:
            f.write(rcdata[0])
        return 0
    if want_manifest:
        if len(manifests) != 1:
            print(f"{args[0]}: {len(manifests)} manifests", file=sys.stderr)
            return 1
        sys.stdout.write(manifests[0].decode("utf-8"))
        return 0
    for type_id, data in resources:
        if type_id == RT_VERSION:
            print("\n".join(version_lines(data)))
    print(f"manifests={len(manifests)}")
    for manifest in manifests:
        print(f"manifest_version={assembly_version(manifest)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
