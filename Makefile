# The two commands of the README:
#   make demo   installs what is missing, builds, and runs the common post-convert
#               routines on the built-in demo site
#   make test   installs what is missing, builds with sanitizers, and runs every test
JOBS ?= $(shell nproc)
SETUP := bash scripts/setup.sh

.PHONY: demo test setup build build-test bench format clean

setup:
	$(SETUP)

build: setup
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTALVOR_TESTS=OFF
	cmake --build build -j $(JOBS)

build-test: setup
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTALVOR_SANITIZE=ON -DTALVOR_TESTS=ON
	cmake --build build-test -j $(JOBS)

test: build-test
	cd build-test && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo.sh build

bench: setup
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALVOR_TESTS=OFF -DTALVOR_BENCH=ON
	cmake --build build-bench -j $(JOBS)

format:
	cmake --build build --target format

clean:
	rm -rf build build-test build-bench
