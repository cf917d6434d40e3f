#!/usr/bin/env python3
"""scripts/check-whole-files against small source trees, each with one way
for a file to be left behind: it passes the sound tree and fails each of
the others, naming the line.

    check_whole_files_test.py CHECK_WHOLE_FILES
"""
import pathlib
import subprocess
import sys
import tempfile

SOUND = {
    "output/whole_file.cpp": "int holdPending(const char*);\n"
                             "void create() {\n"
                             "    slot = holdPending(name);\n"
                             "    fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL);\n"
                             "}\n",
    "app/main.cpp": "int main() {\n    velarion::guardTemporaryFiles();\n}\n",
    "app/icon_files.cpp": "int main() {}\n",
}

# Each breaks the sound tree in one file, and the check must name it.
BROKEN = {
    "an unguarded program": ("app/main.cpp", "int main() {\n    return run();\n}\n"),
    "a file created before it is held": (
        "output/whole_file.cpp",
        "void create() {\n    fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL);\n}\n"),
    "QTemporaryFile": ("results/save.cpp", "QTemporaryFile file;\n"),
    "mkstemp": ("config/save.cpp", "int fd = mkstemp(name);\n"),
    "QSaveFile": ("config/save.cpp", "QSaveFile file(name);\n"),
    "rename(2)": ("charts/save.cpp", "::rename(from, to);\n"),
}


def check(check_script, files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        result = subprocess.run([sys.executable, check_script, root], capture_output=True,
                                text=True, check=False)
        return result.returncode, result.stderr


def main():
    check_script = sys.argv[1]
    failures = []
    status, said = check(check_script, SOUND)
    if status != 0:
        failures.append(f"the sound tree failed: {said}")
    # A comment that names the calls is no call.
    status, said = check(check_script, {**SOUND, "app/note.cpp": "// not mkstemp(), QSaveFile\n"})
    if status != 0:
        failures.append(f"a comment failed the check: {said}")
    for what, (name, text) in BROKEN.items():
        status, said = check(check_script, {**SOUND, name: text})
        if status != 1 or name not in said:
            failures.append(f"{what}: status {status}, said {said!r}")
    for failure in failures:
        print(f"check_whole_files: FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
