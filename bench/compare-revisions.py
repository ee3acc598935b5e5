#!/usr/bin/env python3
"""bench/compare-revisions.py BASE_REV [COUNT]: the program behaves the same at BASE_REV and in
the working tree. Builds the base in $BUILD_DIR/compare-base/<commit> (kept), the working tree in
$BUILD_DIR (default build); over COUNT (200) generated, varied effects and both platforms compares
byte for byte stdout, stderr, exit status and the saved file of `build --format plain|ansi|html|rtf`
and of `apply -o OUT` with edited snippets (numbers changed; an unfinished number; a broken line).
Exits 1 naming the first differing file (outputs kept), 2 when a build fails."""
import concurrent.futures, copy, json, os, random, re, shutil, subprocess, sys, tempfile
from pathlib import Path

FORMATS, PLATFORMS = ("plain", "ansi", "html", "rtf"), ("macos", "ios")
CELL_COUNTS, LARGE_CELL_COUNT = (0, 1, 2, 3, 3, 4, 5, 7, 10, 16), 120  # large: every 50th effect
SHAPES = ("point", "line", "rectangle", "cuboid", "circle", "sphere")
MODES = ("points", "outline", "surface", "volume")
RENDER_MODES = ("unordered", "oldestFirst", "oldestLast", "backToFront", "additive")
# Names to confuse a reader of the snippet: quotes, escapes, breaks, other lines, patterns, controls.
HOSTILE_NAMES = ("spark", "fire \U0001f525", "\u05e9\u05dc\u05d5\u05dd", 'quote " inside', "back\\slash",
    "line\nbreak", "cell2.birthRate = 5", "x cell1.lifetime = 7.0\n", "subcell1_1.velocity = -3.0",
    "particlesLayer.emitterPosition = CGPoint(x: 1.0, y: 2.0)", "(.*=[a-z]+)\\E\\Q", "let cell1 = CAEmitterCell()",
    "tab\tand\rreturn", "", "=", "\u2028separator", "bell\x07 escape\x1b[31m", "<b>&amp;</b>", "{\\rtf1 \\par}")
# A number a person would edit: not part of a name, not a divisor ("/255.0", "/ 180.0").
NUMBER = re.compile(r"(?<![\w./])(?<!/ )-?\d+(?:\.\d+)?")
# A line that sets a number of the layer, a cell or the view.
PROPERTY_LINE = re.compile(r"^(let size|(particlesLayer|cell\d+|subcell\d+_\d+)\.(?!name )\w+) = ")


def run(command, **options):
    return subprocess.run(command, capture_output=True, **options)


def check(command, **options):
    result = run(command, **options)
    if result.returncode != 0:
        sys.stderr.buffer.write(result.stdout + result.stderr)
        print(f"compare-revisions: failed: {' '.join(map(str, command))}", file=sys.stderr)
        sys.exit(2)
    return result


def configure_and_build(source, build, targets, extra_flags=()):
    if not (build / "CMakeCache.txt").exists():
        check(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
               "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", *extra_flags])
    check(["cmake", "--build", build, "-j2", "--target", *targets])


def build_base(repo, revision, build_dir):
    commit = check(["git", "-C", repo, "rev-parse", "--verify", revision + "^{commit}"], text=True).stdout.strip()
    place = build_dir / "compare-base" / commit[:12]
    source = place / "source"
    if not source.exists():
        check(["git", "-C", repo, "worktree", "prune"])
        check(["git", "-C", repo, "worktree", "add", "--detach", source, commit])
    configure_and_build(source, place / "build", ["tessary-code", "tessary-generate-effect"],
                        ["-DTESSARY_BUILD_TESTS=OFF", "-DTESSARY_BUILD_BENCH=ON"])
    return commit, place / "build"


def maybe_bounded(number, rng):
    return number if rng.random() >= 0.15 else {
        "value": number, "min": min(number, -rng.randint(0, 50)), "max": max(number, rng.randint(1, 900))}


def vary_cell(cell, rng, hostile):
    if hostile:
        cell["name"] = rng.choice(HOSTILE_NAMES)
    for key, value in cell.items():
        if isinstance(value, float):
            cell[key] = maybe_bounded(value, rng)
    subcells = cell.get("subcells", [])
    if subcells:
        wanted = rng.choice((0, 1, 1, 2, 3))
        cell["subcells"] = [copy.deepcopy(subcells[0]) for _ in range(wanted)]
        for subcell in cell["subcells"]:
            vary_cell(subcell, rng, hostile)


def generate_effect(generator, index, path):
    """A generated effect, then varied where the generator is uniform."""
    cells = LARGE_CELL_COUNT if index % 50 == 49 else CELL_COUNTS[index % len(CELL_COUNTS)]
    check([generator, str(cells), path, str(1000 + index)])
    rng = random.Random(1000 + index)
    effect = json.loads(path.read_text(encoding="utf-8"))
    layer = effect["layer"]
    for key, choices in (("emitterShape", SHAPES), ("emitterMode", MODES), ("renderMode", RENDER_MODES)):
        layer[key] = rng.choice(choices)
    hostile = rng.random() < 0.5
    for cell in layer["cells"]:
        vary_cell(cell, rng, hostile)
    path.write_text(json.dumps(effect, ensure_ascii=False, indent=1), encoding="utf-8")


def changed_number(text, rng):
    """A value close by with the same number of fraction digits, so that most stay within bounds."""
    if "." not in text:
        return str(int(text) - 1 if int(text) > 0 else int(text) + 1)
    digits = len(text) - text.index(".") - 1
    return f"{float(text) + rng.choice((-1, 1, 2, 3)) * 10 ** -digits:.{digits}f}"


def edit_lines(lines, indices, rng):
    for i in indices:
        head = PROPERTY_LINE.match(lines[i]).end()
        lines[i] = lines[i][:head] + NUMBER.sub(lambda match: changed_number(match.group(), rng),
                                                lines[i][head:])


def edited_snippets(snippet, rng):
    """Edits of a plain snippet: numbers changed; then also an unfinished number; a broken line."""
    lines = snippet.split("\n")
    numbered = [i for i, line in enumerate(lines)
                if PROPERTY_LINE.match(line) and NUMBER.search(line, PROPERTY_LINE.match(line).end())]
    if not numbered:
        return {}
    several = [i for i in numbered if len(NUMBER.findall(lines[i])) > 1]
    chosen = rng.sample(numbered, min(3, len(numbered)))
    chosen += [rng.choice(several)] if several else []
    valid = list(lines)
    edit_lines(valid, chosen, rng)
    spare = rng.choice(numbered)
    pending = list(valid)
    head = PROPERTY_LINE.match(pending[spare]).end()
    pending[spare] = pending[spare][:head] + NUMBER.sub(
        lambda match: match.group().split(".")[0] + ".", pending[spare][head:], 1)
    broken = list(valid)
    broken[spare] = broken[spare].replace(" = ", " == ", 1).replace("(", "((", 1)
    return {name: "\n".join(text) for name, text in
            (("valid", valid), ("pending", pending), ("broken", broken))}


def record(folder, name, result):
    (folder / name).write_bytes(result.stdout)
    (folder / (name + ".status")).write_bytes(b"exit %d\n" % result.returncode + result.stderr)


def compare_effect(index, base_build, head_program, work):
    effect_dir, rng = work / "effects" / f"effect-{index:03}", random.Random(index)
    effect_dir.mkdir(parents=True)
    effect = effect_dir / "effect.json"
    generate_effect(base_build / "bench" / "tessary-generate-effect", index, effect)
    programs = {"base": base_build / "tessary-code", "head": head_program}
    for platform in PLATFORMS:
        folders = {side: work / side / effect_dir.name / platform for side in programs}
        for side, program in programs.items():
            folders[side].mkdir(parents=True)
            for output_format in FORMATS:
                record(folders[side], "build." + output_format, run(
                    [program, "build", effect, "--platform", platform, "--format", output_format]))
        snippet = (folders["base"] / "build.plain").read_text(encoding="utf-8", errors="replace")
        for variant, text in edited_snippets(snippet, rng).items():
            edited = effect_dir / f"{platform}-{variant}.swift"
            edited.write_text(text, encoding="utf-8")
            saved = effect_dir / "saved.json"
            for side, program in programs.items():
                saved.unlink(missing_ok=True)
                record(folders[side], "apply-" + variant,
                       run([program, "apply", effect, edited, "--platform", platform,
                            "-o", saved]))
                (folders[side] / f"apply-{variant}.saved").write_bytes(
                    saved.read_bytes() if saved.exists() else b"(not written)\n")


def first_difference(base_file, head_file):
    base, head = base_file.read_bytes(), head_file.read_bytes()
    if base == head:
        return None
    offset = next((i for i, (a, b) in enumerate(zip(base, head)) if a != b), min(len(base), len(head)))
    return f"byte {offset}, line {base[:offset].count(10) + 1}"


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and not sys.argv[2].isdigit()):
        sys.exit(print("usage: bench/compare-revisions.py BASE_REV [COUNT]", file=sys.stderr) or 2)
    revision, count = sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 200
    repo = Path(__file__).resolve().parent.parent
    build_dir = Path(os.environ.get("BUILD_DIR", repo / "build")).resolve()

    commit, base_build = build_base(repo, revision, build_dir)
    configure_and_build(repo, build_dir, ["tessary-code"])

    work = Path(tempfile.mkdtemp(prefix="tessary-compare-"))
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for future in [pool.submit(compare_effect, index, base_build,
                                   build_dir / "tessary-code", work) for index in range(count)]:
            future.result()

    base_files = sorted(path.relative_to(work / "base")
                        for path in (work / "base").rglob("*") if path.is_file())
    differing = [(name, where) for name in base_files
                 if (where := first_difference(work / "base" / name, work / "head" / name))]
    summary = (f"compare-revisions: {count} effects on {len(PLATFORMS)} platforms, "
               f"{len(base_files)} outputs of {commit[:12]} against the working tree: ")
    if differing:
        name, where = differing[0]
        print(summary + f"{len(differing)} differ; first: {work / 'head' / name} ({where}) "
              f"against {work / 'base' / name}")
        sys.exit(1)
    print(summary + "all byte-identical")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
