"""Writes the seed corpus of every fuzz target: make_corpus.py ROOT.

Each fuzz/corpus_*.py module has generate(root), which fills
ROOT/fuzz_<target>/ with seed files.
"""
import importlib.util
import pathlib
import sys


def main(root):
    here = pathlib.Path(__file__).resolve().parent
    for script in sorted(here.glob("corpus_*.py")):
        spec = importlib.util.spec_from_file_location(script.stem, script)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        module.generate(pathlib.Path(root))


if __name__ == "__main__":
    main(sys.argv[1])
