# The two commands of the README: `make run` and `make test`.
JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN      ?= build-asan
FUZZBUILD ?= build-fuzz
WEBBUILD  ?= build-web
# The Windows build's folder (scripts/release.sh windows decides it).
WINBUILD  = build-windows
# The fresh Debian roots of make test-trixie, and their mmdebstrap tarballs.
ROOTS     ?= build-roots
# Each target installs the Debian packages of its own purposes first.
SETUP     = bash scripts/setup.sh
# Configures $(BUILD); the tests and benchmarks stay as an earlier configure
# left them (off in a new folder), so that they are built only once asked for.
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Configures $(BUILD) and builds vorncapture alone.
define build-capture
$(CONFIGURE) >/dev/null
cmake --build $(BUILD) -j $(JOBS) --target vorncapture
endef
# emscripten's linker needs Debian's node modules (acorn); EM_CACHE would
# point it away from Debian's frozen cache of system libraries.
EMENV     = env -u EM_CACHE NODE_PATH=/usr/share/nodejs
# Seconds per fuzz target: a short smoke run in `make test`, as long as asked in `make fuzz`.
FUZZ_SMOKE ?= 5
SECONDS   ?= 600

.PHONY: all setup build build-all asan fuzz-build test unit asan-test fuzz-smoke fuzz run data preview bench web serve web-test clean video anim test-trixie test-bookworm test-ports still release portable test-release windows test-windows test-debian

all: build

# The packages of the purposes named in PURPOSES (make test's by default).
setup:
	@$(SETUP) $(PURPOSES)

# The program only: what `make run` needs.
build:
	@$(SETUP) build
	$(CONFIGURE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target vorndemo screensize

# Everything in $(BUILD): the program, the tools, the capture, the tests and
# the benchmarks.
build-all:
	@$(SETUP) test
	$(CONFIGURE) -DVORN_TESTS=ON -DVORN_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

asan:
	@$(SETUP) test
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON -DVORN_TESTS=ON >/dev/null
	cmake --build $(ASAN) -j $(JOBS)

fuzz-build:
	@$(SETUP) fuzz
	CXX=clang++ cmake -S . -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_FUZZ=ON >/dev/null
	cmake --build $(FUZZBUILD) -j $(JOBS)

unit: build-all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

fuzz-smoke: fuzz-build
	@bash scripts/fuzz.sh $(FUZZBUILD) $(FUZZ_SMOKE)

test: unit asan-test fuzz-smoke web-test

# The web version in headless Chromium, compared with the Linux build (by
# Debian's Python, which has numpy).  It runs once: nothing in the browser is
# built with the sanitizers.
web-test: build-all web
	/usr/bin/python3 tests/web_page.py $(WEBBUILD)/site $(BUILD)

fuzz: fuzz-build
	@bash scripts/fuzz.sh $(FUZZBUILD) $(SECONDS)

# The web version: build-web/site holds the whole site.
web:
	@$(SETUP) web
	bash scripts/fetch-source.sh $(WEBBUILD)/sources libmikmod
	$(EMENV) emcmake cmake -S . -B $(WEBBUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DMIKMOD_SOURCE=$(abspath $(WEBBUILD))/sources/libmikmod >/dev/null
	$(EMENV) cmake --build $(WEBBUILD) -j $(JOBS)

# The Windows program, cross-built: its folder as a Windows user gets it,
# $(WINBUILD)/vorndemo-VERSION-windows-x64.
windows:
	@$(SETUP) windows
	JOBS=$(JOBS) bash scripts/release.sh windows

# The Windows program under Wine (tests/windows.sh), against the Linux
# build's digests of the same run.
test-windows: windows
	@$(SETUP) build wine
	$(CONFIGURE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target vorndump xmrender
	bash tests/windows.sh $(BUILD) $(WINBUILD)

serve: web
	@echo "serving $(WEBBUILD)/site at http://127.0.0.1:8000/ (Ctrl-C stops)"
	cd $(WEBBUILD)/site && python3 -m http.server 8000 --bind 127.0.0.1

# The intro for a person to watch (scripts/play.sh); SCALE=N scales the
# window N times, FULLSCREEN=1 fills the screen.  Its normal end, status 1,
# is no error here.
run: SHELL := /bin/bash
run: build
	@bash scripts/play.sh $(if $(SCALE),--scale $(SCALE)) $(if $(filter-out 0,$(FULLSCREEN)),--fullscreen) $(BUILD)/vorndemo || [ $$? -eq 1 ]

data: build
	cmake --build $(BUILD) -j $(JOBS) --target vorngen
	$(BUILD)/tools/vorngen data
	$(BUILD)/tools/vorngen --icons icons

preview:
	@$(SETUP) preview
	bash scripts/preview.sh $(BUILD)

# One pass of the intro at 4x and 60 frames a second as an H.264/AAC video;
# the scroll-text echo goes to $(BUILD)/vorndemo.log.
video:
	@$(SETUP) video
	$(build-capture)
	$(BUILD)/capture/vorncapture $(BUILD)/vorndemo.mp4 >$(BUILD)/vorndemo.log

# The README's moving preview: a 12 s animated WebP cut from a capture.
anim:
	@$(SETUP) anim
	$(build-capture)
	bash scripts/anim.sh $(BUILD) docs/intro.webp

# The web page's start-screen still: one frame of a capture.
still:
	@$(SETUP) anim
	$(build-capture)
	bash scripts/still.sh $(BUILD) web/page/still.png

# The benchmarks, then the smoothness of the running intro (scripts/fps.sh,
# FPS_SECONDS a run).
FPS_SECONDS ?= 30
bench:
	@$(SETUP) bench fps
	$(CONFIGURE) -DVORN_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target vornbench presentlog vorndemo screensize xmrender
	$(BUILD)/bench/vornbench
	bash scripts/fps.sh $(BUILD) $(FPS_SECONDS)

# make test in a fresh root of Debian 13 (or 12), on a clone of the
# committed HEAD; the root is removed afterwards, also after a failure or
# an interrupt.
test-trixie test-bookworm: test-%:
	@$(SETUP) root
	bash scripts/fresh-root.sh --work $(ROOTS) --clone . /root/vorndemo $* make -C /root/vorndemo test

# The intro cross-built for other processors, each in a fresh Debian root,
# its unit tests run under qemu-user and vorndump's digests compared with
# this machine's build (scripts/ports.sh).
ARCHES ?= arm64 armhf s390x
test-ports:
	@$(SETUP) build root
	$(CONFIGURE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target vorndump
	bash scripts/ports.sh test $(ROOTS) $(BUILD) $(ARCHES)

# The release files in dist/ (scripts/release.sh): the Debian package, the
# portable archive, the Windows zip, the source and the web site, and their
# checksums.
release: web
	@$(SETUP) release windows root
	JOBS=$(JOBS) ROOTS=$(abspath $(ROOTS)) bash scripts/release.sh

# The release files checked as people get them (tests/release.sh): sums,
# lintian, the validators, the same bytes from another folder, and the
# package and the portable archive in fresh Debian 12 and 13 roots.
test-release: release
	@$(SETUP) root
	bash tests/release.sh $(ROOTS)

# Debian's gates on the source package (tests/debian.sh): sbuild for amd64
# and cross for arm64, lintian, blhc, autopkgtest and piuparts, for Debian
# 13 (SUITE=trixie) or 12 (SUITE=bookworm).
SUITE ?= trixie
test-debian:
	@$(SETUP) debian
	bash scripts/release.sh source
	bash tests/debian.sh $(ROOTS) $(SUITE)

# The portable archive alone.
portable:
	@$(SETUP) release
	JOBS=$(JOBS) bash scripts/release.sh portable

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZBUILD) $(WEBBUILD) $(WINBUILD) build-release build-portable dist
	rm -rf --one-file-system $(ROOTS)
