# Packages for users' machines.
#   make deb                 build/vellora_<version>_<arch>.deb (Debian 12)
#   make windows-installer   build/windows/vellora-setup.exe (NSIS)
.PHONY: deb windows-installer

deb: build
	packaging/linux/make-deb.sh build/default build

windows-installer: windows
	packaging/windows/make-installer.sh build/windows
