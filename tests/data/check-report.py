#!/usr/bin/env python3
"""Checks a report page, as the browser built it from a catalogue and the stylesheet, against the
catalogue itself read the way Orvik reads it: any element name for items and entries, the last
of a field counts, every OSVersion adds, Enabled is TRUE in any letter case, the description is
split at its first "Justification:", categories and impacts compared without letter case.

usage: check-report.py CATALOGUE.xml PAGE.html
"""
import sys
import xml.etree.ElementTree as ET
from html.parser import HTMLParser

MARKER = "Justification:"
SECTIONS = {"STORAGE": "storage", "USER EXPERIENCE": "user-experience",
            "CPU AND MEMORY": "cpu-and-memory"}
SECTION_ORDER = ["storage", "user-experience", "cpu-and-memory", "other"]
VERSIONS = {"WINDOWS2000": "Windows 2000", "WINDOWSXP": "Windows XP",
            "WINDOWSSERVER2003": "Windows Server 2003", "WINDOWSVISTA": "Windows Vista",
            "WINDOWSSERVER2008": "Windows Server 2008", "WINDOWS7": "Windows 7",
            "WINDOWSSERVER2003R2": "Windows Server 2003 R2", "ALL": "All versions",
            "WINDOWS8": "Windows 8", "WINDOWSSERVER2012": "Windows Server 2012",
            "WINDOWSSERVER2008R2": "Windows Server 2008 R2", "WINDOWS8.1": "Windows 8.1",
            "WINDOWSSERVER2012R2": "Windows Server 2012 R2", "WINDOWS10": "Windows 10",
            "WINDOWSSERVER2016": "Windows Server 2016", "WINDOWSSERVER2019": "Windows Server 2019",
            "WINDOWSSERVER2022": "Windows Server 2022", "WINDOWS11": "Windows 11",
            "WINDOWSSERVER2025": "Windows Server 2025"}
# The version a machine was taken for before it had a name of its own; the editor offers it
# those entries as well. Server 2003 R2 and All are never a machine's version.
FORMER = {"WINDOWS8.1": "WINDOWS8", "WINDOWS10": "WINDOWS8", "WINDOWS11": "WINDOWS8",
          "WINDOWSSERVER2008R2": "WINDOWSSERVER2008"}
FORMER.update({"WINDOWSSERVER" + v: "WINDOWSSERVER2012"
               for v in ("2012R2", "2016", "2019", "2022", "2025")})
MACHINES = [v for v in VERSIONS if v not in ("ALL", "WINDOWSSERVER2003R2")]
# The page names a version "windows-server-2012-r2" in its ids and classes.
ANCHORS = {VERSIONS[v].lower().replace(" ", "-").replace(".", "-"): v for v in MACHINES}
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


def squash(text):
    return " ".join(text.split())


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children = tag, dict(attrs), parent, []

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)

    def classes(self):
        return (self.attrs.get("class") or "").split()

    def all(self, tag=None, cls=None):
        for c in self.children:
            if isinstance(c, Node):
                if (tag is None or c.tag == tag) and (cls is None or cls in c.classes()):
                    yield c
                yield from c.all(tag, cls)

    def first(self, tag=None, cls=None):
        return next(self.all(tag, cls), None)

    def by_id(self, ident):
        return next((n for n in self.all() if n.attrs.get("id") == ident), None)


class Builder(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.current = Node("#document", [], None)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.current)
        self.current.children.append(node)
        if tag not in VOID:
            self.current = node

    def handle_startendtag(self, tag, attrs):
        self.current.children.append(Node(tag, attrs, self.current))

    def handle_endtag(self, tag):
        node = self.current
        while node is not None and node.tag != tag:
            node = node.parent
        if node is not None and node.parent is not None:
            self.current = node.parent

    def handle_data(self, data):
        self.current.children.append(data)


def value(element):
    return "".join(element.itertext()) if element is not None else ""


def last(item, name):
    found = [c for c in item if c.tag == name]
    return value(found[-1]) if found else ""


def expected_entries(path):
    entries = []
    for item in ET.parse(path).getroot():
        description = last(item, "Description")
        if MARKER in description:
            desc, why = description.split(MARKER, 1)
        else:
            desc, why = description, ""
        versions, codes = [], set()
        for os_version in (c for c in item if c.tag == "OSVersion"):
            for name in value(os_version).split():
                versions.append(VERSIONS.get(name.upper(), name))
                # The program reads a name it does not know as Windows 2000.
                codes.add(name.upper() if name.upper() in VERSIONS else "WINDOWS2000")
        category = squash(last(item, "Category")).upper()
        impact = squash(last(item, "Impact"))
        actions = sum(len(list(lst)) for lst in item
                      if lst.tag in ("RegistryEntries", "CommandLines", "WMIQueries"))
        entries.append({
            "number": squash(last(item, "Number")),
            "name": squash(last(item, "Name")),
            "enabled": squash(last(item, "Enabled")).upper() == "TRUE",
            "section": SECTIONS.get(category, "other"),
            "impact": impact or "None",
            "impact_class": "impact-" + (impact.lower() if impact.upper() in
                                         ("LOW", "MEDIUM", "HIGH") else "other"),
            "description": squash(desc),
            "justification": squash(why),
            "versions": versions,
            "actions": actions,
            "offered": {v for v in MACHINES if {v, "ALL", FORMER.get(v)} & codes},
        })
    return entries


def page_rows(page):
    rows = []
    for section in page.all("div", "category"):
        for tr in section.all("tr", "entry"):
            cells = [c for c in tr.children if isinstance(c, Node) and c.tag == "td"]
            just = cells[1].first("span", "justification")
            badge = cells[3].first("span", "badge")
            rows.append({
                "number": squash(cells[0].text()),
                "name": squash(cells[1].first("span", "name").text()),
                "enabled": "enabled" in tr.classes(),
                "state": squash(cells[5].text()),
                "section": section.attrs.get("id"),
                "impact": squash(badge.text()),
                "impact_class": next((c for c in badge.classes() if c.startswith("impact-")), ""),
                "description": squash(cells[1].first("p", "desc").text()),
                "justification": squash(just.text()) if just is not None else "",
                "versions": [squash(li.text()) for li in cells[4].all("li")],
                "actions": len(list(cells[2].all("li"))),
                "offered": tr.attrs.get("data-offered") or "",
            })
    return rows


def main(catalogue, page_file):
    builder = Builder()
    with open(page_file, encoding="utf-8") as f:
        builder.feed(f.read())
    page = builder.root
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    entries = expected_entries(catalogue)
    enabled = sum(e["enabled"] for e in entries)
    for ident, count in (("total-count", len(entries)), ("enabled-count", enabled),
                         ("disabled-count", len(entries) - enabled)):
        node = page.by_id(ident)
        expect(node is not None and squash(node.text()) == str(count),
               "%s shows %r, expected %d" % (ident, node and node.text(), count))

    for ident, members in (
            ("category-storage", [e for e in entries if e["section"] == "storage"]),
            ("category-user-experience",
             [e for e in entries if e["section"] == "user-experience"]),
            ("category-cpu-and-memory", [e for e in entries if e["section"] == "cpu-and-memory"]),
            ("impact-low", [e for e in entries if e["impact"].upper() == "LOW"]),
            ("impact-medium", [e for e in entries if e["impact"].upper() == "MEDIUM"]),
            ("impact-high", [e for e in entries if e["impact"].upper() == "HIGH"])) + tuple(
            ("version-" + a, [e for e in entries if v in e["offered"]])
            for a, v in ANCHORS.items() if entries):
        node = page.by_id(ident)
        want = "%d, %d enabled" % (len(members), sum(e["enabled"] for e in members))
        shown = node and "%s, %s" % (squash(node.first("td", "count").text()),
                                     squash(node.first("td", "part").text()))
        expect(shown == want, "%s shows %r, expected %r" % (ident, shown, want))

    # Tables in the fixed category order, entries in file order within each; a row names the
    # versions it is offered on by the letters the index gives them.
    want_rows = sorted(entries, key=lambda e: SECTION_ORDER.index(e["section"]))
    rows = page_rows(page)
    letters = {n.attrs.get("data-letter"): ANCHORS.get(n.attrs["id"][len("version-"):])
               for n in page.all("tr") if n.attrs.get("id", "").startswith("version-")}
    for row in rows:
        row["offered"] = {letters.get(c, c) for c in row["offered"]}
    expect(len(rows) == len(want_rows), "%d rows, expected %d" % (len(rows), len(want_rows)))
    for want, row in zip(want_rows, rows):
        label = "entry %s (%s)" % (want["number"], want["name"])
        for field in ("number", "name", "section", "enabled", "impact", "impact_class",
                      "description", "justification", "versions", "actions", "offered"):
            expect(row[field] == want[field],
                   "%s: %s is %r, expected %r" % (label, field, row[field], want[field]))
        expect(row["state"] == ("Enabled" if want["enabled"] else "Disabled"),
               "%s: state %r" % (label, row["state"]))

    if not entries:
        expect(page.by_id("empty") is not None, "an empty catalogue shows no notice")

    for message in failures:
        print("FAIL: " + message)
    print("%s: %d entries, %d rows, %d failures" % (catalogue, len(entries), len(rows),
                                                   len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
