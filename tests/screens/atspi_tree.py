# What a screen reader is told about the running program, through AT-SPI: every window and
# control with its role and name, before and after signing in with the empty password.
# Run by tests/screens/check-accessibility.sh.
import time

import pyatspi


def walk(accessible, depth, lines):
    try:
        role, name = accessible.getRoleName(), accessible.name
    except Exception:
        return
    lines.append("  " * depth + f"[{role}] {name!r}")
    for index in range(accessible.childCount):
        walk(accessible.getChildAtIndex(index), depth + 1, lines)


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.name == "Vellumar":
            return application
    raise SystemExit("Vellumar is not on the accessibility bus")


def find(accessible, role, name):
    if accessible.getRoleName() == role and accessible.name == name:
        return accessible
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        found = find(child, role, name) if child is not None else None
        if found:
            return found
    return None


def show(title):
    lines = []
    walk(program(), 0, lines)
    print(f"---- {title}")
    print("\n".join(lines))


show("the sign-in window")
find(program(), "push button", "登录").queryAction().doAction(0)
time.sleep(2)
show("after signing in")
