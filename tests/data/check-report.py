#!/usr/bin/env python3
"""Checks a report page, as the browser built it from the report file, against what the
program's own reader makes of the catalogue (orvik_catalogue_records prints it), and that the page
stands alone: no script, nothing fetched, every link inside the page.

usage: check-report.py RECORDS.json PAGE.html
"""
import json
import sys
from html.parser import HTMLParser

SECTIONS = ["STORAGE", "USER EXPERIENCE", "CPU AND MEMORY", "OTHER"]
VOID = {"br", "hr", "img", "input", "link", "meta"}


def squash(text):
    return " ".join(text.split())


class Node:
    def __init__(self, tag, attrs):
        self.tag, self.attrs, self.children = tag, dict(attrs), []
        self.classes = (self.attrs.get("class") or "").split()

    def text(self):
        return squash("".join(c if isinstance(c, str) else c.text() for c in self.children))

    def all(self, tag=None, cls=None):
        for c in self.children:
            if isinstance(c, Node):
                if tag in (None, c.tag) and (cls is None or cls in c.classes):
                    yield c
                yield from c.all(tag, cls)

    def first(self, tag, cls=None):
        return next(self.all(tag, cls), Node(tag, []))


class Page(HTMLParser):
    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.stack = [Node("#document", [])]
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs)
        self.stack[-1].children.append(node)
        if tag not in VOID:
            self.stack.append(node)

    def handle_endtag(self, tag):
        if any(n.tag == tag for n in self.stack[1:]):
            while self.stack.pop().tag != tag:
                pass

    def handle_data(self, data):
        self.stack[-1].children.append(data)

    def by_id(self, ident):
        return next((n for n in self.stack[0].all() if n.attrs.get("id") == ident), Node("", []))


def anchor(name):
    """A version's name as the page names it in ids: "windows-server-2012-r2"."""
    return name.lower().replace(" ", "-").replace(".", "-")


def section(category):
    return category.upper() if category.upper() in SECTIONS else "OTHER"


def expected(record):
    """A record as its row on the page shows it."""
    impact = squash(record["impact"])
    return {"number": squash(record["number"]), "name": squash(record["name"]),
            "enabled": record["enabled"], "section": section(squash(record["category"])),
            "impact": impact or "None",
            "badge": impact.lower() if impact.upper() in ("LOW", "MEDIUM", "HIGH") else "other",
            "description": squash(record["description"]),
            "justification": squash(record["justification"]),
            "versions": [v.upper().replace(" ", "") for v in record["versions"]],
            "offered": sorted(anchor(v) for v in record["offered"]),
            "actions": record["actions"]}


def shown(div, tr, letters):
    """A row of the page; a version it marks unknown is one the program reads as its first; the
    versions it is offered on come as the letters the version index gives them."""
    cells = [c for c in tr.children if isinstance(c, Node) and c.tag == "td"]
    badge = cells[3].first("span", "badge")
    versions = ["WINDOWS2000" if "unknown" in li.classes else li.text().upper().replace(" ", "")
                for li in cells[4].all("li")]
    return {"number": cells[0].text(), "name": cells[1].first("span", "name").text(),
            "enabled": "enabled" in tr.classes,
            "section": div.attrs.get("id", "").upper().replace("-", " "),
            "impact": badge.text(),
            "badge": next((c for c in badge.classes if c.startswith("impact-")), "")[7:],
            "description": cells[1].first("p", "desc").text(),
            "justification": cells[1].first("span", "justification").text(),
            "versions": ["ALL" if v == "ALLVERSIONS" else v for v in versions],
            "offered": sorted(letters.get(c, c) for c in tr.attrs.get("data-offered", "")),
            "actions": len(list(cells[2].all("li")))}


def main(records_file, page_file):
    with open(records_file, encoding="utf-8") as f:
        reading = json.load(f)
    entries = [expected(r) for r in reading["records"]]
    with open(page_file, encoding="utf-8") as f:
        page = Page(f.read())
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    enabled = sum(e["enabled"] for e in entries)
    summaries = [("total-count", len(entries)), ("enabled-count", enabled),
                 ("disabled-count", len(entries) - enabled)]
    for ident, field, key in [("category-storage", "section", "STORAGE"),
                              ("category-user-experience", "section", "USER EXPERIENCE"),
                              ("category-cpu-and-memory", "section", "CPU AND MEMORY"),
                              ("impact-low", "badge", "low"), ("impact-medium", "badge", "medium"),
                              ("impact-high", "badge", "high")]:
        members = [e for e in entries if e[field] == key]
        enabled_members = sum(e["enabled"] for e in members)
        summaries.append((ident, "%d %d enabled" % (len(members), enabled_members)))
    # The version index: how many are offered on each version a machine can be, and enabled.
    for machine in (anchor(m) for m in reading["machines"] if entries):
        members = [e for e in entries if machine in e["offered"]]
        enabled_members = sum(e["enabled"] for e in members)
        summaries.append(("version-" + machine, "%d %d enabled" % (len(members), enabled_members)))
    for ident, want in summaries:
        node = page.by_id(ident)
        got = node.text() if node.tag != "tr" else " ".join(
            node.first("td", c).text() for c in ("count", "part"))
        expect(got == str(want), "%s shows %r, expected %r" % (ident, got, want))

    # Tables in the fixed category order, entries in file order within each.
    want_rows = sorted(entries, key=lambda e: SECTIONS.index(e["section"]))
    letters = {n.attrs.get("data-letter"): n.attrs["id"][len("version-"):]
               for n in page.stack[0].all("tr") if n.attrs.get("id", "").startswith("version-")}
    rows = [shown(div, tr, letters) for div in page.stack[0].all("div", "category")
            for tr in div.all("tr", "entry")]
    expect(len(rows) == len(want_rows), "%d rows, expected %d" % (len(rows), len(want_rows)))
    for want, row in zip(want_rows, rows):
        for field, value in want.items():
            expect(row[field] == value, "entry %s (%s): %s is %r, expected %r"
                   % (want["number"], want["name"], field, row[field], value))
    if not entries:
        expect(page.by_id("empty").tag, "an empty catalogue shows no notice")
    version = page.by_id("version").text()
    expect(version == reading["version"], "the page names version %r" % version)

    for node in page.stack[0].all():
        expect(node.tag not in ("script", "link", "iframe", "object", "embed", "img"),
               "the page has a %s element" % node.tag)
        expect("src" not in node.attrs, "a %s element loads %s" % (node.tag, node.attrs.get("src")))
        href = node.attrs.get("href")
        expect(href is None or href.startswith("#"), "a link leaves the page: %s" % href)
    for style in page.stack[0].all("style"):
        expect("url(" not in style.text() and "@import" not in style.text(),
               "the styles fetch something")

    for message in failures:
        print("FAIL: " + message)
    print("%s: %d entries, %d rows, %d failures" % (page_file, len(entries), len(rows),
                                                   len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
