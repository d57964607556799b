# The two commands a newcomer needs:
#   make run    install what is missing, build, and run the saver
#   make test   install what is missing, build, and run every test
.PHONY: deps build test test-default test-asan run clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

test-default: build
	ctest --preset default

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

test: test-default test-asan

run: build
	./scripts/run.sh $(ARGS)

clean:
	rm -rf build
