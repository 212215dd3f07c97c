#!/usr/bin/python3
"""The map check on a tiny tree: each case changes one file of a tree the
check accepts and expects the check to fail or pass."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_architecture_map.py")

TREE = {
    "ARCHITECTURE.md": "```\npreview -> session\nsession -> engine\nengine -> (none)\n```\n",
    "preview/CMakeLists.txt": "velumar_library(velumar_preview DEPS velumar_session Qt6::Widgets)\n",
    "preview/preview_list.h": "#include <QWidget>\n",
    "session/CMakeLists.txt": "velumar_library(velumar_session DEPS velumar_engine)\n",
    "session/session.cpp": '#include "engine/engine.h"\n',
    "engine/CMakeLists.txt": "velumar_library(velumar_engine)\n",
    "engine/engine.h": "#pragma once\n",
}

# (what changes, file, its new text, what the check prints; None: it passes)
CASES = [
    ("Qt in a room's subfolder", "engine/detail/x.cpp", "#include <QImage>\n",
     "engine/detail/x.cpp includes Qt, which engine does not link"),
    ("include in angle brackets", "session/session.cpp", "#include <preview/preview_list.h>\n",
     "session/session.cpp includes preview/preview_list.h, but session does not link preview"),
    ("Qt:: target", "preview/CMakeLists.txt",
     "velumar_library(velumar_preview DEPS velumar_session Qt::Widgets)\n", None),
    ("upper-case command", "engine/CMakeLists.txt", "VELUMAR_LIBRARY(velumar_engine)\n", None),
]


class MapCheckTest(unittest.TestCase):
    def test_cases(self):
        for name, path, text, failure in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                for file, content in {**TREE, path: text}.items():
                    os.makedirs(os.path.dirname(os.path.join(root, file)), exist_ok=True)
                    with open(os.path.join(root, file), "w", encoding="utf-8") as f:
                        f.write(content)
                run = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
                if failure is None:
                    self.assertEqual(run.returncode, 0, run.stdout)
                else:
                    self.assertEqual(run.returncode, 1, run.stdout)
                    self.assertIn(failure, run.stdout)


if __name__ == "__main__":
    unittest.main()
