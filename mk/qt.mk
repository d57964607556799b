# The Linux program: `make run` (ARGS=/C for the setup dialog, /A for the
# password dialog), `make install-linux` for the program and its files.
.PHONY: run install-linux

PREFIX ?= $(HOME)/.local

run: build
	./scripts/run.sh $(ARGS)

# The program, its help file, the XScreenSaver description, and the default
# spare picture when none is there yet.
install-linux: build
	install -D -m 755 build/default/vellora $(PREFIX)/bin/vellora
	install -D -m 644 resources/vellora.hlp $(PREFIX)/bin/vellora.hlp
	install -D -m 644 resources/vellora.xml $(PREFIX)/share/xscreensaver/config/vellora.xml
	./scripts/run.sh --spare-only
