# The commands of the README: `make demo`, `make serve`, `make test` and `make install`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-asan
Q ?= Haus
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 20
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps deps-test deps-serve build test test-asan demo serve install bench fuzz fuzz-build \
  fuzz-smoke clean

all: build

deps:
	@scripts/ensure-deps.sh build

deps-test:
	@scripts/ensure-deps.sh test

deps-serve:
	@scripts/ensure-deps.sh serve

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: deps-test build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) test-asan
	$(MAKE) fuzz-smoke

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer (and the
# gateway under lighttpd, built so as well).
test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCORVEX_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Builds only the program, quietly (the log is kept), so that the page is what the terminal shows.
demo: deps
	@echo "Building build/corvex (log: $(BUILD)/build.log) ..." >&2
	@mkdir -p $(BUILD) && { cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo && \
	  cmake --build $(BUILD) -j $(JOBS) --target corvex; } > $(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log >&2; exit 1; }
	@scripts/demo.sh "$(BUILD)/corvex" "$(Q)"

# The sample site and its search under lighttpd on 127.0.0.1, in the foreground until Ctrl-C.
serve: deps-serve
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target corvex corvex-cgi
	@scripts/serve.sh $(BUILD)

# The programs, their man pages and an example configuration of the gateway, under
# $(DESTDIR)$(PREFIX). The gateway goes to lib/cgi-bin, never the search program itself.
install: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target corvex corvex-cgi
	install -D -m 755 $(BUILD)/corvex $(DESTDIR)$(PREFIX)/bin/corvex
	install -D -m 755 $(BUILD)/corvex-cgi $(DESTDIR)$(PREFIX)/lib/cgi-bin/corvex-cgi
	install -D -m 644 man/corvex.1 $(DESTDIR)$(PREFIX)/share/man/man1/corvex.1
	install -D -m 644 man/corvex-cgi.1 $(DESTDIR)$(PREFIX)/share/man/man1/corvex-cgi.1
	install -D -m 644 gateway/corvex-cgi.conf.example \
	  $(DESTDIR)$(PREFIX)/share/doc/corvex/corvex-cgi.conf.example

bench: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVEX_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

# The fuzz targets of fuzz/ (clang, libFuzzer, ASan+UBSan) and their seeds from examples/.
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVEX_FUZZ=ON -DCORVEX_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/make_seeds.sh $(FUZZ_BUILD)/corvex $(FUZZ_BUILD)/fuzz/seeds

# Every target for FUZZ_SECONDS; findings are left in $(BUILD)/fuzz-findings.
fuzz: fuzz-build
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(BUILD)/fuzz-findings

# The short run of `make test`.
fuzz-smoke: fuzz-build
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) $(BUILD)/fuzz-findings

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
