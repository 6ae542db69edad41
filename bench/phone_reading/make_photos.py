#!/usr/bin/python3
"""Phone photos of printed bank slips (some with a Pix QR code beside the barcode),
utility bills, bills paid by Pix alone and DANFEs, at three levels of difficulty, with a
manifest of what each one carries.

  make_photos.py [--count N] [--seed S] [--levels easy,typical,hard] [--out DIR]
                 [--check ZENTORY_CLI] [--jobs N]
  make_photos.py --ci DIR

The same arguments make the same photos: photo i of a level depends only on the seed, the
level and i (not on --count)."""

import argparse
import json
import math
import os
import subprocess
import sys
import time

import cv2
import numpy as np

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
# The QR codes are made by the program's own QR library, which the build fetches.
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
QRCODEGEN = os.path.join(REPO, 'build', 'third_party', 'qrcodegen', 'python')
if not os.path.exists(os.path.join(QRCODEGEN, 'qrcodegen.py')):
    raise SystemExit(f'make_photos.py: no {QRCODEGEN}/qrcodegen.py: '
                     'run scripts/test native or cmake --preset native first')
sys.path.insert(0, QRCODEGEN)
import camera  # noqa: E402
import documents  # noqa: E402

VERSION = 4  # of the photos: a manifest of another version is made again
LEVELS = ('easy', 'typical', 'hard')
KINDS = ('bank-slip', 'danfe', 'pix-bill', 'utility-bill', 'bank-slip', 'bank-slip-pix', 'danfe')
# The kind each document's code arrives as: a Pix code is "P" (a slip that also has one
# sends its barcode unless the Pix code is preferred, and keeps that code in `pix`).
KIND_BYTE = {'bank-slip': 1, 'bank-slip-pix': 1, 'utility-bill': 1, 'danfe': 3, 'pix-bill': 'P'}
FULL, SMALL = (4032, 3024), (2000, 1500)

# What each level draws. Pixel sizes are for a 12 MP photo and scale with the width. The
# fill is the barcode's share of the photo's width, or the QR code's of its narrow side.
# A hard photo pushes one to three aspects (`STRESSES`) near their limits and takes the others
# from the typical ranges: each limit is still a photo a person reads at a glance.
RANGES = {
    'easy': dict(full=0.7, portrait=0.15, fill=(0.45, 0.85), qr_fill=(0.3, 0.7), floor=3.0,
                 roll=5, flip=0.0, tilt=10, defocus=(0.0, 1.0), motion=(0.0, 0.0, 0.0),
                 blur_ratio=0.30, gradient=(0.0, 0.15), vignette=(0.05, 0.2), shadow=0.1,
                 shadow_depth=(0.70, 0.85), shadow_soft=(0.8, 2.0), shot=(2e-4, 5e-4),
                 read=(0.002, 0.003), jpeg=(88, 92), ink=(0.04, 0.10), spread=(0.01, 0.03)),
    'typical': dict(full=0.6, portrait=0.25, fill=(0.28, 0.85), qr_fill=(0.18, 0.7), floor=2.2,
                    roll=10, flip=0.1, tilt=15, defocus=(0.0, 2.0), motion=(0.2, 1.0, 3.0),
                    blur_ratio=0.40, gradient=(0.0, 0.3), vignette=(0.1, 0.35), shadow=0.3,
                    shadow_depth=(0.55, 0.8), shadow_soft=(0.6, 2.0), shot=(4e-4, 1.2e-3),
                    read=(0.002, 0.005), jpeg=(82, 92), ink=(0.06, 0.18), spread=(0.02, 0.05)),
}
HARD = dict(full=0.5, portrait=0.3, flip=0.25, floor=1.7, blur_ratio=0.5)
STRESSES = {
    'framing': dict(fill=(0.15, 0.34), qr_fill=(0.1, 0.2)),
    'roll': dict(roll=(10, 15)),
    'perspective': dict(tilt=(15, 25)),
    'light': dict(gradient=(0.3, 0.45), vignette=(0.3, 0.45), shadow=0.85,
                  shadow_depth=(0.4, 0.6), shadow_soft=(0.3, 1.0)),
    'blur': dict(defocus=(2.0, 3.0), motion=(0.4, 2.0, 4.0)),
    'noise': dict(shot=(1.5e-3, 3e-3), read=(0.005, 0.008), jpeg=(80, 84)),
    'ink': dict(ink=(0.2, 0.32), spread=(0.04, 0.06)),
}


def uniform(rng, lo_hi):
    lo, hi = lo_hi
    return float(rng.uniform(lo, hi))


def signed(rng, lo_hi):
    """A magnitude in [lo, hi] with either sign."""
    return uniform(rng, lo_hi) * (1 if rng.random() < 0.5 else -1)


def level_ranges(level, rng):
    if level != 'hard':
        return dict(RANGES[level]), []
    ranges = dict(RANGES['typical'])
    ranges.update(HARD)
    size = int(rng.choice([1, 2, 3], p=[0.25, 0.5, 0.25]))
    stressed = sorted(rng.choice(list(STRESSES), size=size, replace=False))
    for name in stressed:
        ranges.update(STRESSES[name])
    return ranges, [str(name) for name in stressed]


def draw(level, kind, rng, page):
    """The photo's parameters: the camera's pose and everything else."""
    s, stressed = level_ranges(level, rng)
    width, height = FULL if rng.random() < s['full'] else SMALL
    # Upright, unless the barcode's bars would not fit across the narrow side at the
    # level's smallest size: a person turns the phone then.
    upright = rng.random() < s['portrait']
    if upright and s['floor'] * page.barcode['w'] / page.barcode['module'] < 0.7 * height:
        width, height = height, width
    px = width / FULL[0] if width > height else width / FULL[1]  # pixel scale vs 12 MP
    focal = 0.76 * max(width, height)
    bc = page.barcode

    def angle(key):
        v = s[key]
        return signed(rng, v) if isinstance(v, tuple) else float(rng.uniform(-v, v))

    roll, pitch, yaw = angle('roll'), angle('tilt'), angle('tilt')
    if 'perspective' in stressed and rng.random() < 0.5:
        pitch *= rng.uniform(0.3, 0.7)  # not always both at the limit
    flip = bool(rng.random() < s['flip'])
    # The fill is the barcode's share of the photo's width (a QR code's of its narrow side:
    # a person frames the square), seen square-on; the smallest one keeps the narrow bars
    # or the modules above the level's floor once seen at an angle.
    length = bc['w']
    qr = bc['symbology'] == 'qr'
    span = min(width, height) if qr else width
    floor_fill = s['floor'] * length / (bc['module'] * span) / 0.85
    wanted = s['qr_fill'] if qr else s['fill']
    fill_lo, fill_hi = max(wanted[0], floor_fill), max(wanted[1], floor_fill * 1.3)
    centre = np.array([bc['x'] + bc['w'] / 2, bc['y'] + bc['h'] / 2])
    page_centre = np.array([documents.PAGE_W / 2, documents.PAGE_H / 2])
    # What must be in the picture: the bars and 2 mm beside them, or the QR code and two
    # modules of its quiet zone.
    quiet, above = (2 * bc['module'], 2 * bc['module']) if qr else (2.0, 1.0)
    box = [(bc['x'] - quiet, bc['y'] - above), (bc['x'] + bc['w'] + quiet, bc['y'] - above),
           (bc['x'] + bc['w'] + quiet, bc['y'] + bc['h'] + above),
           (bc['x'] - quiet, bc['y'] + bc['h'] + above)]
    margin = 0.015 * width
    for attempt in range(400):
        if attempt and attempt % 100 == 0:  # the angles are too much for this framing
            roll, pitch, yaw = roll * 0.8, pitch * 0.8, yaw * 0.8
        fill = math.exp(rng.uniform(math.log(fill_lo), math.log(fill_hi)))
        density = fill * span / length
        distance = focal / density
        # A close-up is aimed at the barcode; the farther the phone, the more the page
        # itself is framed, as a person does.
        frame = np.array([width, height]) / density
        free = np.maximum(frame - [length + 2 * quiet, bc['h'] + 2 * above], 0)
        room = np.array([documents.PAGE_W, documents.PAGE_H]) - [length, bc['h']]
        toward = np.clip(free / np.maximum(room, 1), 0, 1) ** 0.7
        offset = (page_centre - centre) * toward * rng.uniform(0.5, 1.0) + \
            rng.uniform(-0.3, 0.3, 2) * free
        total_roll = roll + (180 if flip else 0)
        aim = centre + offset
        h = camera.homography(width, height, focal, total_roll, pitch, yaw, aim, distance)
        corners = camera.project(h, box)
        if (corners.min() < margin or np.any(corners[:, 0] > width - margin) or
                np.any(corners[:, 1] > height - margin)):
            continue
        module_px = camera.module_pixels(h, bc)
        if module_px < s['floor']:
            continue
        try:
            camera.seen_area(h, width, height)
        except ValueError:
            continue
        break
    else:
        raise RuntimeError(f'no pose keeps the {"QR code" if qr else "barcode"} in the picture')

    # Blur, capped so that the narrow bars stay visible: the spread of the whole blur
    # (disk, shake and lens) stays under `blur_ratio` narrow elements.
    defocus = uniform(rng, s['defocus']) * px
    p_motion, m_lo, m_hi = s['motion']
    motion = uniform(rng, (m_lo, m_hi)) * px if rng.random() < p_motion else 0.0
    lens = 0.55
    spread = math.sqrt((defocus / 2) ** 2 + motion ** 2 / 12 + lens ** 2)
    allowed = s['blur_ratio'] * module_px
    if spread > allowed:
        k = math.sqrt(max(allowed ** 2 - lens ** 2, 0) / max((defocus / 2) ** 2 + motion ** 2 / 12, 1e-9))
        defocus, motion = defocus * k, motion * k

    shadow = None
    if rng.random() < s['shadow']:
        # An edge (sometimes the phone's corner) across the barcode.
        px_, py_ = bc['x'] + bc['w'] * rng.uniform(0.2, 0.8), bc['y'] + bc['h'] * rng.uniform(0.1, 0.9)
        a = float(rng.uniform(0, 360))
        edges = [(float(px_), float(py_), a)]
        if rng.random() < 0.35:
            t = math.radians(a)
            qx, qy = px_ + 60 * math.cos(t), py_ + 60 * math.sin(t)
            edges.append((float(qx), float(qy), a + 90 + float(rng.uniform(-10, 10))))
        shadow = dict(edges=edges, depth=uniform(rng, s['shadow_depth']),
                      soft=uniform(rng, s['shadow_soft']))

    noise_scale = 1.0 if px > 0.9 else 0.3  # a downscaled photo averaged its noise away
    paper = np.array([0.93, 0.92, 0.88]) + rng.uniform(-0.025, 0.02, 3)
    if rng.random() < 0.2:
        paper *= [0.97, 0.96, 0.92]  # recycled
    params = dict(
        width=width, height=height, focal=focal, roll=round(roll, 2), flip=flip,
        pitch=round(pitch, 2), yaw=round(yaw, 2), aim=[round(float(v), 3) for v in aim],
        distance=round(distance, 2), fill=round(fill, 3), module_px=round(module_px, 2),
        barcode_px=[[round(float(v), 1) for v in c] for c in corners],
        defocus=round(defocus, 2), motion=round(motion, 2),
        motion_angle=round(float(rng.uniform(0, 180)), 1), lens_sigma=lens * min(1, px * 1.3),
        gradient=round(uniform(rng, s['gradient']), 3),
        gradient_angle=round(float(rng.uniform(0, 360)), 1),
        vignette=round(uniform(rng, s['vignette']), 3), shadow=shadow,
        exposure=round(uniform(rng, (0.62, 0.80)), 3),
        cast=[round(uniform(rng, (1.04, 1.14)), 3), 1.0, round(uniform(rng, (0.80, 0.93)), 3)],
        shot=uniform(rng, s['shot']) * noise_scale, read=uniform(rng, s['read']) * noise_scale ** 0.5,
        contrast=round(uniform(rng, (0.05, 0.2)), 3), sharpen=round(uniform(rng, (0.3, 0.7)), 2),
        sharpen_sigma=round(1.2 * max(px, 0.6), 2), jpeg=int(rng.integers(s['jpeg'][0], s['jpeg'][1] + 1)),
        ink=round(uniform(rng, s['ink']), 3), spread=round(uniform(rng, s['spread']), 3),
        paper=[round(float(v), 3) for v in paper], paper_texture=round(uniform(rng, (0.008, 0.02)), 4),
        desk=str(rng.choice(list(camera.DESKS))), stress=stressed)
    assert np.allclose(camera.project(camera.pose(params), box), corners, atol=0.5)
    return params


def make_one(seed, level, index):
    rng = np.random.default_rng([seed, LEVELS.index(level), index])
    kind = KINDS[index % len(KINDS)]
    page, code, info = documents.make(kind, rng)
    params = draw(level, kind, rng, page)
    if page.qr and page.qr is not page.barcode:  # a slip's QR code: where it is, if seen
        q = page.qr
        corners = camera.project(camera.pose(params), [
            (q['x'], q['y']), (q['x'] + q['w'], q['y']), (q['x'] + q['w'], q['y'] + q['h']),
            (q['x'], q['y'] + q['h'])])
        params['qr_px'] = [[round(float(v), 1) for v in c] for c in corners]
    jpeg = camera.photo(page, params, rng)
    return kind, code, info.get('pix') if kind == 'bank-slip-pix' else None, params, jpeg


def check_codes(cli, entries):
    """Every code valid by zentory-cli decode, also a slip's Pix code, and each Pix code
    taken as one."""
    lines = []
    for e in entries:
        lines.append((e['code'], {3: 'N', 'P': 'P'}.get(e['kind'], 'B')))
        if e.get('pix'):
            lines.append((e['pix'], 'P'))
    text = ''.join(f'{code} {letter}\n' for code, letter in lines)
    out = subprocess.run([cli, 'decode'], input=text, capture_output=True, text=True,
                         timeout=60, check=True).stdout.splitlines()
    answers = [json.loads(line) for line in out]
    bad = [code for (code, letter), a in zip(lines, answers)
           if not a['valid'] or (letter == 'P') != (a['kind'] == 'P')]
    if bad or len(out) != len(lines):
        raise SystemExit(f'zentory-cli decode does not take these codes: {bad}')


def generate(count, seed, levels, out, cli, jobs):
    os.makedirs(out, exist_ok=True)
    tasks = [(seed, level, i) for level in levels for i in range(count)]
    start = time.time()
    entries = []

    def store(task, result):
        level, i = task[1], task[2]
        kind, code, pix, params, jpeg = result
        name = f'{level}-{i:03d}-{kind}.jpg'
        with open(os.path.join(out, name), 'wb') as f:
            f.write(jpeg)
        entries.append(dict(file=name, level=level, doc=kind, kind=KIND_BYTE[kind], code=code,
                            **(dict(pix=pix) if pix else {}), params=params))
        print(f'  {name}  {params["width"]}x{params["height"]}  {len(jpeg) // 1024} KB  '
              f'module {params["module_px"]} px' + (f'  [{", ".join(params["stress"])}]'
                                                    if params['stress'] else ''), flush=True)

    if jobs > 1:
        from concurrent.futures import ProcessPoolExecutor
        with ProcessPoolExecutor(jobs) as pool:
            for task, result in zip(tasks, pool.map(make_one_task, tasks)):
                store(task, result)
    else:
        for task in tasks:
            store(task, make_one(*task))
    codes = [e['code'] for e in entries] + [e['pix'] for e in entries if 'pix' in e]
    if len(set(codes)) != len(codes):
        raise SystemExit('two photos carry the same code: use another seed')
    if cli:
        check_codes(cli, entries)
    manifest = dict(version=VERSION, seed=seed, count=count, levels=list(levels), photos=entries)
    with open(os.path.join(out, 'manifest.json'), 'w') as f:
        json.dump(manifest, f, indent=1)
    print(f'{len(entries)} photos in {out} ({time.time() - start:.0f} s)')


def make_one_task(task):
    cv2.setNumThreads(1)
    return make_one(*task)


# ------------------------------------------------------------------ the CI set

def ci_photos(out, cli):
    """Eight fixed photos at 2000 x 1500 for the browser test: two bank slips, a utility
    bill, two DANFEs, a hard one (tilted about 12 degrees, a shadow's edge across the
    barcode), a bank slip whose Pix QR code is in the picture with its barcode (the
    barcode is expected) and a bill paid by Pix alone."""
    scenes = [
        ('slip-straight.jpg', 'bank-slip', dict(roll=2.5, pitch=-5, yaw=4, fill=0.62)),
        ('slip-whole-form.jpg', 'bank-slip', dict(roll=-5, pitch=8, yaw=-6, fill=0.62, portrait=True)),
        ('utility-bill.jpg', 'utility-bill', dict(roll=3.5, pitch=6, yaw=7, fill=0.55)),
        ('danfe-top.jpg', 'danfe', dict(roll=-3, pitch=-6, yaw=5, fill=0.5)),
        ('danfe-upside-down.jpg', 'danfe', dict(roll=4, pitch=7, yaw=-8, fill=0.55, flip=True)),
        ('slip-tilted-shadow.jpg', 'bank-slip', dict(roll=12, pitch=10, yaw=-12, fill=0.58,
                                                      shadow=True, defocus=1.6)),
        ('slip-with-pix.jpg', 'bank-slip-pix', dict(roll=-3, pitch=6, yaw=-5, fill=0.6,
                                                    aim=(12.5, -25))),
        ('pix-bill.jpg', 'pix-bill', dict(roll=4, pitch=-7, yaw=6, fill=0.42)),
    ]
    os.makedirs(out, exist_ok=True)
    listing = []
    for n, (name, kind, scene) in enumerate(scenes):
        rng = np.random.default_rng([20260, n])
        page, code, info = documents.make(kind, rng)
        p = draw('typical', kind, np.random.default_rng([20261, n]), page)
        width, height = (SMALL[1], SMALL[0]) if scene.get('portrait') else SMALL
        bc = page.barcode
        focal = 0.76 * max(width, height)
        span = min(width, height) if bc['symbology'] == 'qr' else width
        density = scene['fill'] * span / bc['w']
        total_roll = scene['roll'] + (180 if scene.get('flip') else 0)
        dx, dy = scene.get('aim', (4, -5))
        aim = [bc['x'] + bc['w'] / 2 + dx, bc['y'] + bc['h'] / 2 + dy]
        h = camera.homography(width, height, focal, total_roll, scene['pitch'], scene['yaw'],
                              aim, focal / density)
        p.update(width=width, height=height, focal=focal, roll=scene['roll'],
                 flip=bool(scene.get('flip')), pitch=scene['pitch'], yaw=scene['yaw'], aim=aim,
                 distance=focal / density, fill=scene['fill'],
                 module_px=round(camera.module_pixels(h, bc), 2), defocus=scene.get('defocus', 0.5),
                 motion=0.0, shot=2.5e-4, read=0.002, jpeg=80, ink=0.12, spread=0.03,
                 lens_sigma=0.45, sharpen_sigma=0.8, stress=[])
        p['shadow'] = (dict(edges=[(bc['x'] + bc['w'] * 0.55, bc['y'] + bc['h'] / 2, 70.0)],
                            depth=0.5, soft=0.5) if scene.get('shadow') else None)
        for target in filter(None, [bc, page.qr]):
            corners = camera.project(h, [(target['x'] - 2, target['y']),
                                         (target['x'] + target['w'] + 2, target['y'] + target['h'])])
            assert (corners.min() > 0 and corners[:, 0].max() < width and
                    corners[:, 1].max() < height), name
        jpeg = camera.photo(page, p, np.random.default_rng([20262, n]))
        with open(os.path.join(out, name), 'wb') as f:
            f.write(jpeg)
        listing.append(dict(file=name, kind=KIND_BYTE[kind], code=code,
                            **({'pix': info['pix']} if kind == 'bank-slip-pix' else {})))
        print(f'  {name}  {width}x{height}  {len(jpeg) // 1024} KB  module {p["module_px"]} px')
    if cli:
        check_codes(cli, listing)
    with open(os.path.join(out, 'photos.json'), 'w') as f:
        json.dump(listing, f, indent=1)
        f.write('\n')


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--count', type=int, default=20, help='photos per level (20)')
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--levels', default=','.join(LEVELS))
    ap.add_argument('--out', default=None, help='folder (/tmp/zentory-phone-photos/s<SEED>-n<COUNT>)')
    ap.add_argument('--check', metavar='ZENTORY_CLI', help='check every code with `decode`')
    ap.add_argument('--jobs', type=int, default=1, help='processes making photos (1)')
    ap.add_argument('--ci', metavar='DIR', help='make the eight photos of the browser test instead')
    args = ap.parse_args()
    cv2.setNumThreads(2)
    if args.ci:
        ci_photos(args.ci, args.check)
        return
    levels = [lv for lv in args.levels.split(',') if lv]
    if any(lv not in LEVELS for lv in levels):
        ap.error(f'levels are {", ".join(LEVELS)}')
    out = args.out or f'/tmp/zentory-phone-photos/s{args.seed}-n{args.count}'
    generate(args.count, args.seed, levels, out, args.check, args.jobs)


if __name__ == '__main__':
    sys.exit(main())
