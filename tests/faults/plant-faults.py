#!/usr/bin/env python3
"""Plants faults in src/ one at a time and records which tests catch each.

Each fault is one small change to one line of a .cpp file under src/ (a
comparison turned round, && for ||, a number one higher, a string one
character shorter, true for false, a call deleted). The tree is rebuilt
and the whole test suite run; a fault is caught when at least one test
fails. The source file is put back after every fault.

    tests/faults/plant-faults.py run --count 400 --seed 7   # into build-faults/faults.jsonl
    tests/faults/plant-faults.py summary build-faults/faults.jsonl
    tests/faults/plant-faults.py cost build-faults/faults.jsonl --lines 1400
    tests/faults/plant-faults.py replay tests/faults/seed7.jsonl --since 33c7a9d

"replay" plants again the faults of a recorded run that only tests changed
or deleted since a commit caught, and says which of them nothing catches
now: what a reshaping of the tests has cost. A test counts as changed when
the text of its TEST body is; a change to a helper it calls does not count,
so after weakening a shared helper run the faults anew.

"cost" answers what deleting whole tests would do to the catch rate: the
faults are split into four parts; on three of them the tests are dropped
whose faults other tests also catch, fewest caught alone per line first,
until --lines lines are gone; the fourth part, which took no part in the
choice, shows how many of its caught faults would no longer be caught.

The build goes to build-faults/ (Debug, warnings not errors: a fault may
leave a variable unused). The tree under src/ must have no uncommitted
changes: it is restored with git at the end, whatever happens. A run that
is stopped can be started again with the same arguments; faults already in
the output are skipped. The Windows code is not planted in (it is not built
here).
"""
import argparse, collections, json, os, random, re, signal, subprocess, sys
import xml.etree.ElementTree as ET

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
BUILD = os.path.join(ROOT, 'build-faults')
JUNIT = os.path.join(BUILD, 'faults-junit.xml')
TEST_SECONDS = 20  # the slowest test takes a few seconds in a Debug build

# (pattern, replacement); NUM adds one to a number, STR drops a string's last character.
CHANGES = [
    (r' == ', ' != '), (r' != ', ' == '),
    (r' < ', ' <= '), (r' <= ', ' < '), (r' > ', ' >= '), (r' >= ', ' > '),
    (r' && ', ' || '), (r' \|\| ', ' && '),
    (r' \+ ', ' - '), (r' - ', ' + '),
    (r'return true;', 'return false;'), (r'return false;', 'return true;'),
    (r'(?<![\w.])(\d+)(?![\w.x])', 'NUM'),
    (r'if \(!', 'if ('),
    (r'"([^"\\]{2,})"', 'STR'),
    (r'\+\+', '--'),
]
DELETE = len(CHANGES)
DECLARATION = re.compile(r'^(const |static |auto |std::|int|bool|char|unsigned|u?int\d+_t )')


def sources():
    for folder, _, files in os.walk(os.path.join(ROOT, 'src')):
        if os.sep + 'win32' in folder:
            continue
        for name in sorted(files):
            if name.endswith('.cpp'):
                yield os.path.relpath(os.path.join(folder, name), ROOT)


def sites():
    found = []
    for rel in sources():
        for i, line in enumerate(open(os.path.join(ROOT, rel), encoding='latin-1').read().split('\n')):
            s = line.strip()
            if not s or s.startswith(('//', '#', '*')):
                continue
            code = line if '"' in line else line.split('//')[0]
            for k, (pattern, _) in enumerate(CHANGES):
                found.extend((rel, i, k, m.start()) for m in re.finditer(pattern, code))
            if (s.endswith(';') and not s.startswith('return') and '(' in s
                    and '=' not in s.split('(')[0] and not DECLARATION.match(s)):
                found.append((rel, i, DELETE, 0))
    return found


def plant(site):
    """Changes the file; returns (original text, description) or (None, None)."""
    rel, i, k, pos = site
    path = os.path.join(ROOT, rel)
    text = open(path, encoding='latin-1').read()
    lines = text.split('\n')
    line = lines[i]
    if k == DELETE:
        new = re.match(r'^\s*', line).group(0) + ';'
    else:
        pattern, replacement = CHANGES[k]
        m = re.compile(pattern).match(line, pos)
        if not m:
            return None, None
        if replacement == 'NUM':
            replacement = str(int(m.group(1)) + 1)
        elif replacement == 'STR':
            replacement = '"' + m.group(1)[:-1] + '"'
        new = line[:m.start()] + replacement + line[m.end():]
    if new == line:
        return None, None
    lines[i] = new
    open(path, 'w', encoding='latin-1').write('\n'.join(lines))
    return text, line.strip() + '  =>  ' + new.strip()


def quiet(args, timeout=None):
    return subprocess.run(args, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)


def failing_tests():
    """The names of the failing tests (one that hangs fails at the build's
    short test time limit); None when the suite did not finish."""
    if os.path.exists(JUNIT):
        os.remove(JUNIT)
    try:
        quiet(['ctest', '--test-dir', BUILD, '-j2', '--output-junit', JUNIT], timeout=600)
    except subprocess.TimeoutExpired:
        pass
    # A fault can leave a test process spinning after ctest has given up on it.
    quiet(['pkill', '-9', '-f', os.path.join(BUILD, 'tests') + '/'])
    try:
        cases = ET.parse(JUNIT).getroot().iter('testcase')
    except (OSError, ET.ParseError):
        return None
    return [c.get('name') for c in cases if c.get('status') not in ('run', 'notrun', 'disabled')]


def check_committed():
    if subprocess.run(['git', 'diff', '--quiet', '--', 'src'], cwd=ROOT).returncode != 0:
        sys.exit('src/ has uncommitted changes: commit or stash them first')


def plant_each(chosen, out_path, expect=None):
    """Plants each site in turn, rebuilding and running the suite, and appends
    a record per fault to out_path; src/ is restored whatever happens. With
    expect (site -> change), a site whose change reads differently now is
    skipped: the code moved since the faults were recorded."""
    restore = lambda *_: (quiet(['git', 'checkout', '--', 'src']), sys.exit(1))
    signal.signal(signal.SIGINT, restore)
    signal.signal(signal.SIGTERM, restore)
    quiet(['cmake', '-S', ROOT, '-B', BUILD, '-DMARVEX_TESTS=ON', '-DCMAKE_BUILD_TYPE=Debug',
           f'-DMARVEX_TEST_TIMEOUT={TEST_SECONDS}'])
    if quiet(['cmake', '--build', BUILD, '-j2']).returncode != 0:
        sys.exit('the unchanged tree does not build')
    done = set()
    if os.path.exists(out_path):
        done = {tuple(json.loads(line)['site']) for line in open(out_path)}
    print(f'{len(chosen)} faults to plant, {len(done)} done before', file=sys.stderr)
    try:
        with open(out_path, 'a') as out:
            for n, site in enumerate(chosen, 1):
                if site in done:
                    continue
                original, description = plant(site)
                if original is None:
                    continue
                if expect and expect.get(site) != description:
                    open(os.path.join(ROOT, site[0]), 'w', encoding='latin-1').write(original)
                    print(f'{n}/{len(chosen)} {site[0]}:{site[1] + 1} moved; skipped', file=sys.stderr)
                    continue
                try:
                    built = quiet(['cmake', '--build', BUILD, '-j2'], timeout=900).returncode == 0
                    record = {'site': site, 'change': description, 'built': built,
                              'failed': failing_tests() if built else None}
                finally:
                    open(os.path.join(ROOT, site[0]), 'w', encoding='latin-1').write(original)
                out.write(json.dumps(record) + '\n')
                out.flush()
                caught = record['failed']
                print(f'{n}/{len(chosen)} {site[0]}:{site[1] + 1} '
                      f'{"no build" if not built else "unfinished" if caught is None else len(caught)}',
                      file=sys.stderr)
    finally:
        quiet(['git', 'checkout', '--', 'src'])
        quiet(['cmake', '--build', BUILD, '-j2'])


def run(args):
    check_committed()
    random.seed(args.seed)
    every = sites()
    plant_each(random.sample(every, min(args.count, len(every))), args.out)


def replay(args):
    """Plants again the faults that only changed or deleted tests caught."""
    check_committed()
    before = test_bodies(lambda: git_test_files(args.since))
    now = test_bodies(work_test_files)
    changed = {t for t in before if now.get(t) != before[t]}
    records = [json.loads(line) for line in open(args.file)]
    risky = [r for r in records if r['built'] and r['failed'] and set(r['failed']) <= changed]
    print(f'{len(changed)} tests changed or deleted since {args.since}; {len(risky)} faults only they caught',
          file=sys.stderr)
    if os.path.exists(args.out) and not args.resume:
        os.remove(args.out)
    # The code may have moved since the record: a fault goes to the line that
    # still reads as its line did, nearest the recorded place (a line whose
    # indent changed is not planted: the change would read differently).
    expect, moved = {}, []
    for r in risky:
        rel, i, k, pos = r['site']
        was = r['change'].split('  =>  ')[0]
        lines = open(os.path.join(ROOT, rel), encoding='latin-1').read().split('\n')
        same = [j for j, line in enumerate(lines) if line.strip() == was]
        if not same:
            moved.append(r)
            continue
        j = min(same, key=lambda j: abs(j - i))
        expect[(rel, j, k, pos)] = r['change']
    plant_each(list(expect), args.out, expect)
    again = [json.loads(line) for line in open(args.out)] if os.path.exists(args.out) else []
    lost = [r for r in again if r['built'] and r['failed'] == []]
    print(f'{len(again)} planted again: {len(lost)} no longer caught; '
          f'{len(moved) + len(expect) - len(again)} whose line is gone or changed, not planted')
    for r in moved:
        print(f'  not planted: {r["site"][0]}:{r["site"][1] + 1}  {r["change"][:150]}')
    for r in lost:
        print(f'  {r["site"][0]}:{r["site"][1] + 1}  {r["change"][:150]}')


def summary(args):
    records = [json.loads(line) for line in open(args.file)]
    ran = [r for r in records if r['built'] and r['failed'] is not None]
    caught = [r for r in ran if r['failed']]
    print(f'{len(records)} faults, {len(ran)} built and ran, {len(caught)} caught '
          f'({100 * len(caught) / max(1, len(ran)):.0f}%)')
    by_test = collections.Counter(t for r in caught for t in r['failed'])
    alone = collections.Counter(r['failed'][0] for r in caught if len(r['failed']) == 1)
    print('\nTests by faults caught (alone: no other test caught it):')
    for test, count in by_test.most_common():
        print(f'  {count:4} {alone[test]:4} alone  {test}')
    print('\nFaults no test caught:')
    for r in ran:
        if not r['failed']:
            print(f'  {r["site"][0]}:{r["site"][1] + 1}  {r["change"][:150]}')


def work_test_files():
    for folder, _, files in os.walk(os.path.join(ROOT, 'tests')):
        for name in files:
            if name.endswith('.cpp'):
                yield open(os.path.join(folder, name), encoding='latin-1').read()


def git_test_files(rev):
    names = subprocess.run(['git', 'ls-tree', '-r', '--name-only', rev, 'tests'], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout.split()
    for name in names:
        if name.endswith('.cpp'):
            yield subprocess.run(['git', 'show', f'{rev}:{name}'], cwd=ROOT, capture_output=True,
                                 check=True).stdout.decode('latin-1')


def test_bodies(files=work_test_files):
    """Each TEST's name and its lines (to its closing brace)."""
    bodies = {}
    for text in files():
        lines = text.split('\n')
        starts = [(i, m.group(1) + '.' + m.group(2)) for i, line in enumerate(lines)
                  if (m := re.match(r'^TEST(?:_F)?\((\w+),\s*(\w+)\)', line))]
        for j, (i, test) in enumerate(starts):
            end = starts[j + 1][0] if j + 1 < len(starts) else len(lines)
            while end > i + 1 and not lines[end - 1].startswith('}'):
                end -= 1
            bodies[test] = lines[i:end]
    return bodies


def test_lines():
    """Each TEST's number of lines, with the blank line after it."""
    return {test: len(body) + 1 for test, body in test_bodies().items()}


def cost(args):
    sizes = test_lines()
    keep = set(args.keep.split(',')) if args.keep else set()
    caught = [r['failed'] for r in map(json.loads, open(args.file))
              if r['built'] and r['failed'] and set(r['failed']) <= set(sizes)]
    lost = total = 0
    for part in range(4):
        choose = [f for i, f in enumerate(caught) if i % 4 != part]
        suite, gone = set(sizes), 0
        catchers = collections.Counter(t for f in choose for t in f)
        while gone < args.lines:
            alone = lambda t: sum(1 for f in choose if t in f and sum(x in suite for x in f) == 1)
            candidates = [t for t in suite if t not in keep]
            if not candidates:
                break
            drop = min(candidates, key=lambda t: (alone(t) / sizes[t], -sizes[t]))
            suite.discard(drop)
            gone += sizes[drop]
        check = [f for i, f in enumerate(caught) if i % 4 == part]
        lost += sum(1 for f in check if not suite.intersection(f))
        total += len(check)
    print(f'dropping about {args.lines} lines of whole tests: {lost} of {total} caught faults '
          f'({100 * lost / max(1, total):.1f}%) are no longer caught')


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest='command', required=True)
    r = sub.add_parser('run')
    r.add_argument('--count', type=int, default=200)
    r.add_argument('--seed', type=int, default=1)
    r.add_argument('--out', default=os.path.join(BUILD, 'faults.jsonl'))
    s = sub.add_parser('summary')
    s.add_argument('file')
    c = sub.add_parser('cost')
    c.add_argument('file')
    c.add_argument('--lines', type=int, required=True)
    c.add_argument('--keep', default='', help='tests never dropped, comma-separated')
    p = sub.add_parser('replay')
    p.add_argument('file')
    p.add_argument('--since', required=True, help='the commit the faults were recorded at')
    p.add_argument('--out', default=os.path.join(BUILD, 'replay.jsonl'))
    p.add_argument('--resume', action='store_true', help='keep what a stopped replay recorded')
    args = parser.parse_args()
    try:
        {'run': run, 'summary': summary, 'cost': cost, 'replay': replay}[args.command](args)
    except BrokenPipeError:  # the reader (head, less) has had enough
        pass


main()
