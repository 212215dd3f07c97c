#!/usr/bin/python3
"""Checks that ARCHITECTURE.md still describes the tree.

  check_architecture_map.py <source dir>

1. Every path the page names in backticks exists: a name with a slash from
   the top of the tree (or from platform/, as the layer table writes them),
   a bare file name anywhere in it; <placeholder> and * match any text.
2. Its arrows (the one fenced block of "room -> rooms" lines) are exactly the
   links between rooms that the CMake files declare, and each points to a
   room listed below its own line.
3. Every #include ("room/..." or <room/...>) of a room's header from another
   room follows the links (directly or through rooms in between), and only
   rooms that link Qt (Qt6:: or Qt:: targets) include it. A file in a
   subfolder of a room belongs to that room; CMake command names match in
   any case.
Prints each disagreement and exits 1 when there is one.
"""

import fnmatch
import os
import re
import sys

NOT_ROOMS = ("tests", "bench", "tools", "resources", "cmake", "scripts")
FILE_NAME = re.compile(r"\.(cpp|h|c|md|txt|cmake|desktop|py|sh)$")
ARROW = re.compile(r"^([\w/]+) *-> *(\(none\)|[\w/]+(?:, *[\w/]+)*)$")


def tree_files(root):
    files = []
    for folder, dirs, names in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]
        rel = os.path.relpath(folder, root)
        files += [os.path.normpath(os.path.join(rel, name)) for name in names]
        files += [os.path.normpath(os.path.join(rel, d)) + "/" for d in dirs]
    return files


def named_paths(page):
    prose = re.sub(r"^```.*?^```", "", page, flags=re.S | re.M)
    for span in re.findall(r"`([^`\n]+)`", prose):
        if re.search(r"\s|::|^[-$/.]", span):
            continue
        if "/" in span or FILE_NAME.search(span):
            yield span


def exists(pattern, files):
    if "/" not in pattern.rstrip("/") and not pattern.endswith("/"):
        return any(fnmatch.fnmatch(os.path.basename(f), pattern) for f in files)
    for candidate in (pattern, "platform/" + pattern):
        if fnmatch.filter(files, candidate) or fnmatch.filter(files, candidate.rstrip("/") + "/"):
            return True
    return False


def missing_paths(page, files):
    return [f"names `{path}`, which is not in the tree" for path in sorted(set(named_paths(page)))
            if not exists(re.sub(r"<[^>]*>", "*", path), files)]


def page_arrows(page):
    blocks = re.findall(r"^```[^\n]*\n(.*?)^```", page, flags=re.S | re.M)
    blocks = [b for b in blocks if "->" in b]
    if len(blocks) != 1:
        return None, [f"has {len(blocks)} blocks of arrows, not one"]
    order, arrows, problems = [], {}, []
    for line in blocks[0].splitlines():
        match = ARROW.match(line.strip())
        if not match:
            if line.strip():
                problems.append(f"has an arrow line it cannot read: {line.strip()}")
            continue
        room, targets = match.group(1), match.group(2).strip()
        if room in arrows:
            problems.append(f"lists {room} twice")
        order.append(room)
        arrows[room] = set() if targets == "(none)" else {t.strip() for t in targets.split(",")}
    for room in order:
        for target in arrows[room]:
            if target not in order[order.index(room) + 1:]:
                problems.append(f"{room} -> {target} does not point to a room listed below {room}")
    return arrows, problems


def cmake_calls(text, command):
    text = re.sub(r"#[^\n]*", "", text)
    for match in re.finditer(r"\b" + command + r"\s*\(", text, flags=re.I):
        depth, end = 1, match.end()
        while depth and end < len(text):
            depth += {"(": 1, ")": -1}.get(text[end], 0)
            end += 1
        yield text[match.end():end - 1].split()


def cmake_links(root):
    owner, links = {}, []
    for folder, dirs, names in os.walk(root):
        rel = os.path.relpath(folder, root)
        dirs[:] = [d for d in dirs if not d.startswith((".", "build")) and not (rel == "." and d in NOT_ROOMS)]
        if "CMakeLists.txt" not in names or rel == ".":
            continue
        with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as f:
            text = f.read()
        for args in cmake_calls(text, "velumar_library"):
            owner[args[0]] = rel
            links.append((args[0], args[1:]))
        for args in cmake_calls(text, "add_library"):
            owner[args[0]] = rel
        for args in cmake_calls(text, "target_link_libraries"):
            links.append((args[0], args[1:]))
    declared, qt_rooms, problems = {room: set() for room in owner.values()}, set(), []
    for target, args in links:
        if target not in owner:
            continue
        if any(re.match(r"Qt6?::", a) for a in args):
            qt_rooms.add(owner[target])
        for dep in (a for a in args if re.fullmatch(r"velumar_\w+", a)):
            if dep not in owner:
                problems.append(f"CMake: {target} links {dep}, which is no room's library")
            elif owner[dep] != owner[target]:
                declared[owner[target]].add(owner[dep])
    return declared, qt_rooms, problems


def arrow_problems(arrows, declared):
    problems = []
    for room in sorted(set(arrows) | set(declared)):
        if room not in declared:
            problems.append(f"has arrows for {room}, which builds no library")
        elif room not in arrows:
            links = ", ".join(sorted(declared[room])) or "(none)"
            problems.append(f"has no arrow line for {room} (CMake: {room} -> {links})")
        else:
            for target in sorted(declared[room] - arrows[room]):
                problems.append(f"misses {room} -> {target}, which CMake declares")
            for target in sorted(arrows[room] - declared[room]):
                problems.append(f"shows {room} -> {target}, which CMake does not declare")
    return problems


def include_problems(root, links, qt_rooms, files):
    def below(room, seen):
        for target in links.get(room, ()):
            if target not in seen:
                seen.add(target)
                below(target, seen)
        return seen

    def room_of(path):
        rooms = [r for r in links if path.startswith(r + "/")]
        return max(rooms, key=len) if rooms else None

    reach = {room: below(room, {room}) for room in links}
    problems = []
    for path in files:
        room = room_of(path)
        if not room or not path.endswith((".cpp", ".h")):
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
            if room not in qt_rooms and re.search(r"^\s*#\s*include\s*<Q", text, flags=re.M):
                problems.append(f"include: {path} includes Qt, which {room} does not link")
            for header in re.findall(r'^\s*#\s*include\s*["<]([^">]+)[">]', text, flags=re.M):
                used = room_of(header)
                if used and used not in reach[room]:
                    problems.append(f"include: {path} includes {header}, but {room} does not link {used}")
    return problems


def main():
    root = sys.argv[1]
    with open(os.path.join(root, "ARCHITECTURE.md"), encoding="utf-8") as f:
        page = f.read()
    files = tree_files(root)
    arrows, page_problems = page_arrows(page)
    page_problems = missing_paths(page, files) + page_problems
    problems = []
    if arrows is not None:
        declared, qt_rooms, problems = cmake_links(root)
        page_problems += arrow_problems(arrows, declared)
        problems += include_problems(root, declared, qt_rooms, files)
    problems = ["ARCHITECTURE.md " + p for p in page_problems] + problems
    for problem in problems:
        print(problem)
    if not problems:
        print(f"ARCHITECTURE.md agrees with the tree: {len(set(named_paths(page)))} paths, {len(arrows)} rooms")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
