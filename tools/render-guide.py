#!/usr/bin/python3
"""Renders the user guide (Markdown, the source) into one self-contained HTML page that any
browser opens formatted with a double click: its pictures embedded, nothing loaded from outside
itself. Refuses to write a page with an internal link that leads nowhere.
Usage: render-guide.py GUIDE.md PAGE.html   (Debian's python3-markdown)"""
import base64
import html.parser
import mimetypes
import re
import sys
from pathlib import Path

import markdown

STYLE = """
body { font-family: "Segoe UI", Arial, sans-serif; max-width: 46em; margin: 2em auto;
       padding: 0 1em; line-height: 1.5; color: #1b1b1b; }
h1, h2, h3 { line-height: 1.2; }
h2 { border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #bbb; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #eee; }
code, pre { font-family: Consolas, "Courier New", monospace; background: #f3f3f3; }
pre { padding: .6em; overflow-x: auto; }
img { max-width: 100%; }
"""


class PageCheck(html.parser.HTMLParser):
    """Collects the page's ids, its internal links, and anything it would load."""

    def __init__(self):
        super().__init__()
        self.ids, self.links, self.loads = set(), [], []

    def handle_starttag(self, tag, attributes):
        attributes = dict(attributes)
        if "id" in attributes:
            self.ids.add(attributes["id"])
        href = attributes.get("href") or ""
        if tag == "a" and href.startswith("#"):
            self.links.append(href[1:])
        elif tag == "a" and not re.match(r"(https?|mailto):", href):
            self.loads.append(f"<a href={href!r}>: a file beside the page")
        if tag in ("link", "script", "iframe", "object", "embed", "base"):
            self.loads.append(f"<{tag}>")
        for name in ("src", "srcset", "poster", "data"):
            value = attributes.get(name)
            if value is not None and not value.startswith("data:"):
                self.loads.append(f"<{tag} {name}={value!r}>")


def embed_pictures(body, folder):
    def inline(match):
        path = folder / match[1]
        kind = mimetypes.guess_type(path.name)[0]
        data = base64.b64encode(path.read_bytes()).decode()
        return f'src="data:{kind};base64,{data}"'
    return re.sub(r'src="(?!data:|https?:)([^"]+)"', inline, body)


def render(guide):
    text = guide.read_text(encoding="utf-8")
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "toc"],
                             output_format="html")
    body = embed_pictures(body, guide.parent)
    title = re.search(r"^# (.+)$", text, re.M)[1]
    return (f'<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{title}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n{body}\n"
            f"</body>\n</html>\n")


def problems(page):
    check = PageCheck()
    check.feed(page)
    found = [f"a link to #{target}, which is nowhere in the page" for target in check.links
             if target not in check.ids]
    found += [f"{load} loads from outside the page" for load in check.loads]
    if re.search(r"url\(\s*['\"]?(?!data:)", page):
        found.append("a style loads from outside the page")
    return found


def main():
    guide, page_path = Path(sys.argv[1]), Path(sys.argv[2])
    page = render(guide)
    found = problems(page)
    if found:
        sys.exit("The guide's page is not self-contained:\n  " + "\n  ".join(found))
    page_path.parent.mkdir(parents=True, exist_ok=True)
    page_path.write_text(page, encoding="utf-8")
    print(f"{page_path}: {len(page) // 1024} KiB, self-contained, every internal link found")


main()
