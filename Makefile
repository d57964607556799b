# The two commands a newcomer needs:
#   make run    install what is missing, build, and run the saver
#   make test   install what is missing, build, and run every test
.PHONY: deps build test test-default test-asan run clean

TEST_TARGETS := test-default test-asan

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

clean:
	rm -rf build

# Platform parts add their own targets (and append to TEST_TARGETS) here.
-include mk/*.mk

test: $(TEST_TARGETS)
