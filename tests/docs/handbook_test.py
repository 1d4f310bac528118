#!/usr/bin/env python3
"""The handbook the program shows (docs/handbook/, installed as Help_Nimbrel/).

Walks every page from HomeNBR.htm and checks that:
  - every link, image and style sheet is a local file inside the handbook, and every #anchor exists;
  - every page of the folder is reached from the home page, and every page links back to it (the
    viewer has no Back button);
  - an image that is not there yet is listed in images/README.md (the screenshots come later), every
    name README.md lists is used by a page, and every picture in images/ is used by a page;
  - every message text the program gives the user (the texts of src/ passed to a message box, a
    question, the status pane or standard error) stands in a <dt class="msg"> entry of a page, with
    its line breaks, as the user reads it.

    handbook_test.py SOURCE_DIR
Prints every fault and exits 1 when there is one.
"""

import re
import sys
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit

HOME = "HomeNBR.htm"
VOID = {"br", "img", "hr", "meta", "link", "input", "col", "area", "base"}


class Page(HTMLParser):
    """The references, anchors and message entries of one page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.refs = []  # (tag, url, line)
        self.anchors = set()
        self.messages = []  # the texts of <dt class="msg">, line breaks as "\n"
        self.faults = []
        self._msg = None  # the text of the entry being read
        self._msg_depth = 0

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        line = self.getpos()[0]
        for key in ("id", "name") if tag == "a" else ("id",):
            if a.get(key):
                self.anchors.add(a[key])
        if tag == "a" and a.get("href") is not None:
            self.refs.append(("a", a["href"], line))
        elif tag == "img":
            self.refs.append(("img", a.get("src") or "", line))
            if not (a.get("alt") or "").strip():
                self.faults.append(f"line {line}: <img> without alt text")
        elif tag == "link" and a.get("href") is not None:
            self.refs.append(("link", a["href"], line))
        if self._msg is not None:
            if tag == "br":
                self._msg.append("\n")
            elif tag in ("dt", "dd", "dl"):
                self.faults.append(f"line {line}: <{tag}> inside a message entry")
            elif tag not in VOID:
                self._msg_depth += 1
        elif tag == "dt" and "msg" in (a.get("class") or "").split():
            self._msg = []
            self._msg_depth = 0

    def handle_endtag(self, tag):
        if self._msg is None or tag in VOID:
            return
        if tag == "dt" and self._msg_depth == 0:
            self.messages.append("".join(self._msg).replace("\xa0", " "))
            self._msg = None
        else:
            self._msg_depth -= 1

    def handle_data(self, data):
        if self._msg is not None:
            self._msg.append(data)


def local_target(page_dir, url):
    """The file and the anchor a local reference names, or None for a reference with a scheme."""
    parts = urlsplit(url)
    if parts.scheme or parts.netloc:
        return None
    path = unquote(parts.path)
    target = (page_dir / path).resolve() if path else None
    return target, unquote(parts.fragment)


def listed_images(readme):
    """The picture names images/README.md lists: lines "- `NAME.png`: what it shows"."""
    if not readme.is_file():
        return set()
    return set(re.findall(r"^- `([^`/]+\.png)`", readme.read_text(encoding="utf-8"), re.M))


def check_pages(root, faults):
    images_dir = root / "images"
    listed = listed_images(images_dir / "README.md")
    pages, queue = {}, [(root / HOME).resolve()]
    used_images = set()
    anchors_wanted = []  # (page, anchor, where)
    while queue:
        file = queue.pop()
        if file in pages:
            continue
        if not file.is_file():
            continue
        page = Page()
        page.feed(file.read_text(encoding="utf-8"))
        page.close()
        pages[file] = page
        name = file.relative_to(root)
        faults += [f"{name}: {f}" for f in page.faults]
        if name.name != HOME and not any(urlsplit(url).path == HOME for _, url, _ in page.refs):
            faults.append(f"{name}: no link back to {HOME}")
        for tag, url, line in page.refs:
            where = f"{name}:{line}"
            found = local_target(file.parent, url)
            if found is None:
                faults.append(f"{where}: {url} is not a local file; the handbook viewer shows local pages only")
                continue
            target, anchor = found
            if target is None:  # "#anchor" in the same page
                anchors_wanted.append((file, anchor, where))
                continue
            if root.resolve() not in target.parents:
                faults.append(f"{where}: {url} lies outside the handbook folder")
                continue
            if tag == "img":
                used_images.add(target)
                if not target.is_file():
                    if target.parent != images_dir.resolve():
                        faults.append(f"{where}: the image {url} does not exist")
                    elif target.name not in listed:
                        faults.append(f"{where}: the image {url} does not exist and images/README.md does not list it")
                continue
            if not target.is_file():
                faults.append(f"{where}: {url} does not exist")
                continue
            if target.suffix in (".htm", ".html"):
                queue.append(target)
                if anchor:
                    anchors_wanted.append((target, anchor, where))
    if (root / HOME).resolve() not in pages:
        faults.append(f"{HOME} is missing")
        return []
    for target, anchor, where in anchors_wanted:
        if anchor and anchor not in pages[target].anchors:
            faults.append(f"{where}: no anchor #{anchor} in {target.relative_to(root)}")
    for file in sorted(root.glob("*.htm*")):
        if file.resolve() not in pages:
            faults.append(f"{file.name} is not reached from {HOME}")
    used_names = {f.name for f in used_images if f.parent == images_dir.resolve()}
    for name in sorted(listed - used_names):
        faults.append(f"images/README.md lists {name}, which no page shows")
    for file in sorted(images_dir.glob("*")):
        if file.name != "README.md" and file.resolve() not in used_images:
            faults.append(f"images/{file.name} is shown by no page")
    return [m for p in pages.values() for m in p.messages]


# --- The message texts of the program -------------------------------------------------------------

# Statements whose string literals the user reads: message boxes and questions, the status pane,
# a procedure's failure text, nimbrel-cli's standard error, and a variable `message` or `text`
# that holds one.
SINK = re.compile(
    r"\b(Message|Question|err|Err|Failed|LinkLost|OnGivenUp|SetStatus)\s*\(|fprintf\s*\(\s*stderr"
    r"|\bmessage\s*=|^\s*text\s*=\s*\"\"\s*$", re.M)
# Texts that open like a message are messages wherever they stand.
MESSAGE_START = re.compile(r"^(ERROR|Error|WARNING|Warning)\b")
FORMAT = re.compile(r"%%|%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|z|j|t|L)?[diouxXeEfgGcsp]")
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "a": "\a", "\\": "\\", '"': '"', "'": "'", "?": "?"}


def statements(text):
    """Splits C++ source into statements (at ; { }), comments dropped. Each statement is
    (its first line, its code with every literal written "", [its string literals]); adjacent
    literals are joined as the compiler joins them."""
    out = []
    code, literals, start = [], [], None
    line, i, n = 1, 0, len(text)
    joining = False  # the last token was a string literal: a next one continues it

    def literal(value):
        nonlocal joining, start
        if joining:
            literals[-1] += value
        else:
            literals.append(value)
            code.append('""')
        joining = True
        start = start or line

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        word_before = i > 0 and (text[i - 1].isalnum() or text[i - 1] == "_")
        raw = None if word_before else re.match(r'(?:u8|u|U|L)?R"([^(\s]*)\(', text[i:i + 40])
        if raw:
            close = ")" + raw.group(1) + '"'
            end = text.find(close, i + raw.end())
            value = text[i + raw.end():end]
            literal(value)
            line += value.count("\n")
            i = end + len(close)
            continue
        quote = None if word_before else re.match(r'(?:u8|u|U|L)?"', text[i:i + 3])
        if quote:
            i += quote.end()
            value = []
            while i < n and text[i] != '"':
                if text[i] == "\\":
                    nxt = text[i + 1]
                    hexa = re.match(r"x([0-9a-fA-F]+)", text[i + 1:])
                    if hexa:
                        value.append(chr(int(hexa.group(1), 16)))
                        i += 1 + hexa.end()
                        continue
                    value.append(ESCAPES.get(nxt, nxt))
                    i += 2
                    continue
                value.append(text[i])
                i += 1
            literal("".join(value))
            i += 1
            continue
        if c == "'" and not word_before:
            end = i + 1
            while end < n and text[end] != "'":
                end += 2 if text[end] == "\\" else 1
            code.append(text[i:end + 1])
            i = end + 1
            joining = False
            continue
        if c in ";{}":
            out.append((start or line, "".join(code), literals))
            code, literals, start = [], [], None
        else:
            code.append(c)
            if not c.isspace():
                start = start or line
        if c == "\n":
            line += 1
        if not c.isspace():
            joining = False
        i += 1
    out.append((start or line, "".join(code), literals))
    return out


def program_messages(src):
    """(text, where) of every message text of src/ (the simulator is a program of its own)."""
    files = [f for f in sorted(src.rglob("*"))
             if f.suffix in (".cpp", ".h") and "sim" not in f.relative_to(src).parts]
    parsed = {f: statements(f.read_text(encoding="utf-8")) for f in files}
    constants = {}
    for stmts in parsed.values():
        for _, code, literals in stmts:
            m = re.search(r"\b(k\w+)\s*=\s*\"\"\s*$", code)
            if m and "constexpr" in code and len(literals) == 1:
                constants[m.group(1)] = literals[0]
    found = []
    for file, stmts in parsed.items():
        for line, code, literals in stmts:
            where = f"{file.relative_to(src.parent)}:{line}"
            if SINK.search(code):
                found += [(text, where) for text in literals]
                found += [(constants[k], where) for k in re.findall(r"\bk\w+", code) if k in constants]
            else:
                found += [(text, where) for text in literals if MESSAGE_START.match(text)]
    return found


def pieces(text):
    """The fixed parts of a message text between its printf fields, worth finding (a word or more)."""
    parts = [p.strip(" \t\r\n") for p in FORMAT.split(text)]
    return [p for p in parts if len(p) >= 4 and re.search(r"[A-Za-z]", p)]


def check_messages(src, documented, faults):
    seen = set()
    for text, where in program_messages(src):
        wanted = pieces(text)
        if not wanted or text in seen:
            continue
        seen.add(text)
        pattern = re.compile(".*?".join(re.escape(p) for p in wanted), re.S)
        if not any(pattern.search(d) for d in documented):
            faults.append(f"{where}: the message {text!r} has no <dt class=\"msg\"> entry in the handbook")


def main():
    source = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]).resolve()
    root = source / "docs" / "handbook"
    faults = []
    documented = check_pages(root, faults)
    if not documented:
        faults.append("no page holds a <dt class=\"msg\"> entry")
    check_messages(source / "src", documented, faults)
    for f in faults:
        print(f"handbook: {f}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
