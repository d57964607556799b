# The Linux program: `make run` (ARGS=/C for the setup dialog, /A for the
# password dialog), `make install-linux` for the program and its files.
.PHONY: run install-linux

PREFIX ?= $(HOME)/.local

run: build
	./scripts/run.sh $(ARGS)

# The same files as the Debian package (make deb), under PREFIX: the
# program, its entry among XScreenSaver's hacks, the hack's description, the
# spare picture (kept when one is there) and the help file, the menu entry,
# its icon and the manual page. Under ~/.local the spare picture and the help
# file are where the program looks first ($XDG_DATA_HOME/vellora); the
# XScreenSaver daemon looks for hacks in /usr/libexec/xscreensaver only, so
# there the hack is named by its full path in ~/.xscreensaver's programs:
# list ($(PREFIX)/libexec/xscreensaver/vellora --root).
install-linux: build
	cmake --install build/default --prefix $(PREFIX)
