# Windows: vellora.scr built with mingw-w64, its tests run through Wine.
#   make windows        configure and build (build/windows/bin/vellora.scr)
#   make test-windows   build, then run the Windows tests under Xvfb + Wine
#   make run-windows ARGS=/C   run the saver through Wine
.PHONY: windows test-windows run-windows

WINDOWS_BUILD := build/windows

windows: deps
	cmake --preset windows
	cmake --build --preset windows

test-windows: windows
	tests/e2e/windows/with-wine.sh $(CURDIR)/$(WINDOWS_BUILD)/wineprefix ctest --preset windows

run-windows: windows
	WINEPREFIX=$(CURDIR)/$(WINDOWS_BUILD)/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
	  wine $(WINDOWS_BUILD)/bin/vellora.scr $(ARGS)

TEST_TARGETS += test-windows
