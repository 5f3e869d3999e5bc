# The two commands of the README:
#   make example   set up, build and run the bundled example report
#   make test      set up, build and pass every test (fuzzers included)
.PHONY: all build test unit fuzz example bench clean format check

all: build

build:
	scripts/bootstrap

unit: build
	ctest --test-dir build --output-on-failure -j2

fuzz: build
	scripts/fuzz

# The house rules first (they fail fast), then the fuzzers, then the corpus
# numbers, so that CTest's summary closes the run.
check:
	scripts/check-format
	scripts/check-layers

format:
	scripts/check-format --fix

test: build check
	scripts/fuzz
	@ctest --test-dir build -R '^corpus_resave$$' -V 2>&1 | grep -E '^[0-9]+: (corpus|resave|libreoffice|openpyxl):' || true
	ctest --test-dir build --output-on-failure -j2

example: build
	scripts/run-example

bench: build
	@for b in build/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build build-fuzz
