#!/usr/bin/env python3
"""check_includes.py -- the structure drawn from the includes.

Every arrow points down: a file may include our own headers only from its
own folder or from a folder below it in LAYERS (sub-folders count as their
top folder), and no chain of our headers leads back to where it started.
The platform stays at the edges: GL, GLU and GLUT only in render/ and
shell/ (render/formats and render/portable are built into the GL-free
rules library, so not there either), SDL only in the audio service, the
socket headers only in the one socket file.

Usage: check_includes.py SOURCE_DIR     prints each fault, status 1 if any
       check_includes.py --self-test    plants faults in a scratch tree and
                                        checks that each one is reported
"""
import os
import re
import sys
import tempfile

# Lowest first. tools/, tests/ and bench/ stand above everything.
LAYERS = ["base", "cli", "sound", "world", "prey", "net", "render", "shell"]
RANK = {name: i for i, name in enumerate(LAYERS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
GL_FOLDERS = ("render/", "shell/")
GL_FREE = ("render/formats/", "render/portable/", "shell/portable/")
SDL_FILE = "sound/audio_sdl.cpp"
SOCKET_FILE = "net/socket_posix.cpp"
SOCKET_HEADERS = ("sys/socket.h", "netinet/in.h", "netinet/ip.h", "netinet/udp.h",
                  "arpa/inet.h", "netdb.h", "ifaddrs.h", "net/if.h")


def sources(root):
    for top in LAYERS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def faults_in(root):
    faults = []
    graph = {}
    for path in sources(root):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        top = path.split("/")[0]
        ours = []
        for kind, name in INCLUDE.findall(text):
            if kind == '"':
                ours.append(name)
                other = name.split("/")[0]
                if other in RANK and RANK[other] > RANK[top]:
                    faults.append(f"{path}: includes {name}, an arrow up ({top} is below {other})")
                continue
            if name.startswith(("GL/", "SDL")) or name == "SDL.h":
                is_gl = name.startswith("GL/")
                allowed = (path.startswith(GL_FOLDERS) and not path.startswith(GL_FREE)) if is_gl else path == SDL_FILE
                if not allowed:
                    faults.append(f"{path}: includes <{name}>, a platform header outside its place")
            if name in SOCKET_HEADERS and path != SOCKET_FILE:
                faults.append(f"{path}: includes <{name}>; socket calls belong in {SOCKET_FILE}")
        graph[path] = [n for n in ours if n.endswith(".h")]

    # Cycles among our headers (a .cpp file is never included, so it cannot
    # close one): depth-first search with the path kept for the message.
    state = {}
    def visit(node, trail):
        state[node] = "open"
        for nxt in graph.get(node, []):
            if nxt not in graph:
                continue
            if state.get(nxt) == "open":
                loop = trail[trail.index(nxt):] + [nxt]
                faults.append("a circle of includes: " + " -> ".join(loop))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"
    for node in sorted(graph):
        if node.endswith(".h") and node not in state:
            visit(node, [node])
    return faults


def self_test():
    planted = {
        "base/a.h": '#include "base/b.h"\n',
        "base/b.h": '#include "base/a.h"\n',               # a circle
        "world/w.h": '#include "net/n.h"\n',               # an arrow up
        "net/n.h": "#include <cstdint>\n",
        "net/ok.cpp": '#include "world/w.h"\n#include <sys/socket.h>\n',  # sockets outside
        "render/formats/f.cpp": "#include <GL/gl.h>\n",    # GL in the rules library
        "render/draw.cpp": "#include <GL/gl.h>\n",         # fine
        "sound/mix.cpp": "#include <SDL.h>\n",              # SDL outside the audio service
    }
    with tempfile.TemporaryDirectory() as root:
        for path, text in planted.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        found = faults_in(root)
    wanted = ["a circle of includes", "world/w.h: includes net/n.h", "net/ok.cpp: includes <sys/socket.h>",
              "render/formats/f.cpp", "sound/mix.cpp"]
    missed = [w for w in wanted if not any(w in f for f in found)]
    extra = [f for f in found if "render/draw.cpp" in f]
    for w in missed:
        print(f"self-test: the planted fault '{w}' was not reported")
    for f in extra:
        print(f"self-test: a sound file was reported: {f}")
    return 1 if missed or extra or len(found) != len(wanted) else 0


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--self-test":
        return self_test()
    if len(sys.argv) != 2:
        print("usage: check_includes.py SOURCE_DIR | --self-test", file=sys.stderr)
        return 2
    faults = faults_in(sys.argv[1])
    for f in faults:
        print(f)
    if not faults:
        print("ok: every include points down, no circle, platform headers in their places")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
