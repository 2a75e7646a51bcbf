#!/usr/bin/env python3
"""The link-address export as a plain Python script: the baseline bench_export measures the
core's export against, in the same run.

    export_baseline.py KEYWORDS ENGINES OUT

KEYWORDS: the keyword list, GBK, lines ending with CR LF. ENGINES: the engine list file format,
GBK, "真|code|name|address" lines. OUT: one address per keyword and ticked engine, keyword first,
GBK, CR LF after every line. Prints the number of addresses written.
"""
import sys

TICKED = "真".encode("gbk")
PLACEHOLDER = b"{*}"

# Letters, digits and ". _ -" stay; every other byte becomes %XX with upper-case digits.
SAFE = set(b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._-")
ESCAPE = [bytes([b]) if b in SAFE else b"%%%02X" % b for b in range(256)]


def split_lines(data, separator=b"\r\n"):
    """Every separator ends an element; an empty rest after the last one is dropped."""
    if not data:
        return []
    parts = data.split(separator)
    if parts[-1] == b"":
        parts.pop()
    return parts


def url_encode(raw):
    return b"".join(ESCAPE[b] for b in raw)


def read_engines(path):
    engines = []
    with open(path, "rb") as f:
        for line in split_lines(f.read()):
            fields = line.split(b"|", 3) + [b"", b"", b"", b""]
            code = fields[1].strip()
            utf8 = code.isdigit() and int(code) == 1
            engines.append((fields[0] == TICKED, utf8, fields[3]))
    return engines


def main():
    keywords_path, engines_path, out_path = sys.argv[1:4]
    with open(keywords_path, "rb") as f:
        keywords = split_lines(f.read())
    engines = read_engines(engines_path)
    count = 0
    with open(out_path, "wb") as out:
        for keyword in keywords:
            gbk = url_encode(keyword)
            utf8 = url_encode(keyword.decode("gbk").encode("utf-8"))
            for ticked, is_utf8, template in engines:
                if ticked:
                    out.write(template.replace(PLACEHOLDER, utf8 if is_utf8 else gbk) + b"\r\n")
                    count += 1
    print(count)


if __name__ == "__main__":
    main()
