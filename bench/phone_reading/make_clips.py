#!/usr/bin/python3
"""Clips of a phone's live camera passing over printed slips, bills paid by Pix and
DANFEs, one document after another: each comes into view, the focus settles, the hand
holds it (shaking a little) and takes it away. Written as MJPEG files (JPEG frames one
after another), which Chromium's fake camera plays at 30 frames a second, with a
manifest of when each document is sharp and steady in view.

  make_clips.py [--count N] [--docs D] [--seed S] [--levels ordinary,hard] [--out DIR]
                [--check ZENTORY_CLI]

The same arguments make the same clips. An ordinary clip is held well: the barcode fills
much of the width, square-on, in even light. A hard one pushes one or two aspects (the
distance, the angle, the light, the shake and focus, the noise) near their limits."""

import argparse
import json
import math
import os
import sys

import numpy as np

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import make_photos  # noqa: E402  (puts the QR library on the path)
import camera  # noqa: E402
import documents  # noqa: E402

uniform = make_photos.uniform

VERSION = 2  # of the clips: a manifest of another version is made again
LEVELS = ('ordinary', 'hard')
FPS = 30          # what Chromium's fake camera plays an MJPEG file at
RENDER_FPS = 15   # frames drawn a second; each is written twice
WIDTH, HEIGHT = 1920, 1080
KINDS = make_photos.KINDS
KIND_BYTE = make_photos.KIND_BYTE

# Seconds of each document's passage: coming into view, the focus settling after it
# stops, held still, going away, and the desk alone before the next.
ENTER, HOLD, LEAVE, GAP = 0.8, 1.8, 0.6, 0.4
# Each drawn frame carries its number in the bottom left corner, in STAMP_BITS squares of
# STAMP_SIDE pixels (white for 1, lowest bit first), so that the bench can tell which frame
# of the file the camera shows at a given moment, however late the camera runs.
STAMP_BITS, STAMP_SIDE = 12, 12
LEAD_IN = 2.0  # the desk alone first, as a person aims the camera before the first slip

ORDINARY = dict(fill=(0.5, 0.8), qr_fill=(0.35, 0.6), roll=5, tilt=8, settle=(0.12, 0.25),
                defocus0=(4, 7), shake=0.25, gradient=(0.0, 0.2), vignette=(0.1, 0.25), shadow=0.1,
                shot=(6e-4, 1.2e-3), read=(0.003, 0.005), jpeg=(82, 90), ink=(0.05, 0.15),
                spread=(0.01, 0.04))
HARD_STRESSES = {
    'distance': dict(fill=(0.36, 0.46), qr_fill=(0.22, 0.32)),
    'angle': dict(roll=(8, 15), tilt=(14, 22)),
    'light': dict(gradient=(0.3, 0.45), vignette=(0.3, 0.45), shadow=0.8),
    'shake': dict(shake=0.7, settle=(0.3, 0.5), defocus0=(7, 10)),
    'noise': dict(shot=(2e-3, 3.5e-3), read=(0.006, 0.009), jpeg=(70, 78)),
}


def level_ranges(level, rng):
    ranges = dict(ORDINARY)
    if level == 'ordinary':
        return ranges, []
    stressed = sorted(str(s) for s in rng.choice(list(HARD_STRESSES), size=int(rng.integers(1, 3)),
                                                 replace=False))
    for name in stressed:
        ranges.update(HARD_STRESSES[name])
    return ranges, stressed


def angle(rng, v):
    return make_photos.signed(rng, v) if isinstance(v, tuple) else float(rng.uniform(-v, v))


def ease(t):
    t = min(max(t, 0.0), 1.0)
    return t * t * (3 - 2 * t)


class Passage:
    """One document's passage under the camera: its pose, focus and shake at each time."""

    def __init__(self, rng, level, kind):
        self.page, self.code, info = documents.make(kind, rng)
        self.kind = kind
        self.pix = info.get('pix') if kind == 'bank-slip-pix' else None
        s, self.stressed = level_ranges(level, rng)
        bc = self.page.barcode
        qr = bc['symbology'] == 'qr'
        self.focal = 0.9 * WIDTH
        fill = uniform(rng, s['qr_fill'] if qr else s['fill'])
        span = HEIGHT if qr else WIDTH
        self.distance = self.focal * bc['w'] / (fill * span)
        self.roll, self.pitch, self.yaw = angle(rng, s['roll']), angle(rng, s['tilt']), angle(rng, s['tilt'])
        centre = np.array([bc['x'] + bc['w'] / 2, bc['y'] + bc['h'] / 2])
        # Aimed near the middle of the view, where the guide frame is.
        off = rng.uniform(-1, 1, 2) * np.array([0.03 * WIDTH, 0.05 * HEIGHT]) * self.distance / self.focal
        self.aim = centre + off
        frame_mm = WIDTH * self.distance / self.focal
        side = rng.choice([-1, 1])
        self.come_from = self.aim + np.array([side * 1.1 * frame_mm, rng.uniform(-0.2, 0.2) * frame_mm])
        self.go_to = self.aim + np.array([-side * 1.1 * frame_mm, rng.uniform(-0.3, 0.3) * frame_mm])
        self.settle = uniform(rng, s['settle'])
        self.defocus0 = uniform(rng, s['defocus0'])
        self.residual = float(rng.uniform(0.2, 0.5))
        self.shake = s['shake'] * self.distance / 150  # mm at the page, for a hand 150 mm away
        self.phases = rng.uniform(0, 2 * math.pi, 6)
        self.rates = rng.uniform(0.8, 2.5, 3)
        shadow = None
        if rng.random() < s['shadow']:
            px_, py_ = bc['x'] + bc['w'] * rng.uniform(0.2, 0.8), bc['y'] + bc['h'] * rng.uniform(0.1, 0.9)
            shadow = dict(edges=[(float(px_), float(py_), float(rng.uniform(0, 360)))],
                          depth=float(rng.uniform(0.45, 0.7)), soft=float(rng.uniform(0.5, 2.0)))
        paper = np.array([0.93, 0.92, 0.88]) + rng.uniform(-0.025, 0.02, 3)
        self.look = dict(
            width=WIDTH, height=HEIGHT, lens_sigma=0.6, gradient=uniform(rng, s['gradient']),
            gradient_angle=float(rng.uniform(0, 360)), vignette=uniform(rng, s['vignette']), shadow=shadow,
            exposure=uniform(rng, (0.62, 0.80)),
            cast=[uniform(rng, (1.04, 1.14)), 1.0, uniform(rng, (0.80, 0.93))],
            shot=uniform(rng, s['shot']), read=uniform(rng, s['read']),
            contrast=uniform(rng, (0.05, 0.2)), sharpen=uniform(rng, (0.3, 0.6)), sharpen_sigma=1.0,
            jpeg=int(rng.integers(s['jpeg'][0], s['jpeg'][1] + 1)), ink=uniform(rng, s['ink']),
            spread=uniform(rng, s['spread']), paper=[float(v) for v in paper],
            paper_texture=uniform(rng, (0.008, 0.02)), desk=str(rng.choice(list(camera.DESKS))))
        # Sharp and steady: the hand has stopped and the focus has settled within half a
        # pixel of where it ends.
        self.steady_from = ENTER + self.settle * math.log(max(1.0, self.defocus0 / 0.5))
        self.steady_to = ENTER + HOLD
        self.duration = ENTER + HOLD + LEAVE + GAP
        whole = [(0, 0), (documents.PAGE_W, 0), (documents.PAGE_W, documents.PAGE_H), (0, documents.PAGE_H)]
        steady = self.homography(self.aim, self.distance, 0, 0)
        finest = float(camera.local_scale(steady, [tuple(centre)])[0])
        self.sheet = camera.printed_sheet(self.page, steady, np.array(whole, float), self.look, finest=finest)
        self.tex = camera.paper_texture(rng, self.look['paper_texture'])
        lo, hi = np.array([-400.0, -400.0]), np.array([documents.PAGE_W + 400, documents.PAGE_H + 400])
        self.desk = (camera.desk_texture(rng, self.look['desk'], lo[0], lo[1], hi[0], hi[1], 1.0), lo, 1.0)

    def homography(self, aim, distance, droll, dtilt):
        return camera.homography(WIDTH, HEIGHT, self.focal, self.roll + droll, self.pitch + dtilt,
                                 self.yaw, aim, distance)

    def pose(self, t):
        """(aim, distance, roll and tilt wobble, defocus in pixels) at time t."""
        if t < ENTER:
            k = ease(t / ENTER)
            aim = self.come_from + (self.aim - self.come_from) * k
            distance = self.distance * (1.25 - 0.25 * k)
            defocus = self.defocus0
        else:
            k = ease((t - ENTER - HOLD) / LEAVE) if t > ENTER + HOLD else 0.0
            aim = self.aim + (self.go_to - self.aim) * k
            distance = self.distance * (1 + 0.15 * k)
            since = t - ENTER
            defocus = self.residual + (self.defocus0 - self.residual) * math.exp(-since / self.settle)
            defocus = max(defocus, self.defocus0 * k)
        p, r = self.phases, self.rates
        wobble = np.array([math.sin(2 * math.pi * r[0] * t + p[0]) + 0.5 * math.sin(2 * math.pi * r[1] * t + p[1]),
                           math.sin(2 * math.pi * r[1] * t + p[2]) + 0.5 * math.sin(2 * math.pi * r[2] * t + p[3])])
        aim = aim + self.shake * wobble
        droll = 0.4 * self.shake * math.sin(2 * math.pi * r[2] * t + p[4])
        dtilt = 0.6 * self.shake * math.sin(2 * math.pi * r[0] * t + p[5])
        return aim, distance, droll, dtilt, defocus

    def frame(self, t, rng, number):
        aim, distance, droll, dtilt, defocus = self.pose(t)
        h = self.homography(aim, distance, droll, dtilt)
        # Motion blur: how far the page's centre moves in the exposure (half a frame).
        later = self.pose(t + 0.5 / FPS)
        h2 = self.homography(later[0], later[1], later[2], later[3])
        centre = [(documents.PAGE_W / 2, documents.PAGE_H / 2)]
        move = camera.project(h2, centre)[0] - camera.project(h, centre)[0]
        look = dict(self.look, defocus=defocus, motion=float(np.hypot(*move)),
                    motion_angle=math.degrees(math.atan2(move[1], move[0])))
        if t >= ENTER + HOLD + LEAVE:  # gone: the desk alone, the camera still
            h = self.homography(self.go_to * 3, distance, 0, 0)
            look.update(defocus=self.residual, motion=0.0)
        return camera.exposed(self.sheet, self.tex, self.desk, h, look, rng, mark=lambda rgb: stamp(rgb, number))


def stamp(rgb, number):
    top = HEIGHT - STAMP_SIDE
    rgb[top - 2:, :STAMP_BITS * STAMP_SIDE + 2] = 0
    for bit in range(STAMP_BITS):
        if number >> bit & 1:
            rgb[top:, bit * STAMP_SIDE:(bit + 1) * STAMP_SIDE] = 255


def make_clip(seed, level, index, docs, path):
    rng = np.random.default_rng([seed, LEVELS.index(level), index])
    entries = []
    start = 0.0
    with open(path, 'wb') as out:
        frames = 0
        for d in range(docs):
            kind = KINDS[(index * docs + d) % len(KINDS)]
            passage = Passage(rng, level, kind)
            if d == 0:
                lead = int(round(LEAD_IN * RENDER_FPS))
                for f in range(lead):
                    jpeg = passage.frame(passage.duration, rng, frames // (FPS // RENDER_FPS))
                    for _ in range(FPS // RENDER_FPS):
                        out.write(jpeg)
                        frames += 1
                start += lead / RENDER_FPS
            count = int(round(passage.duration * RENDER_FPS))
            for f in range(count):
                jpeg = passage.frame(f / RENDER_FPS, rng, frames // (FPS // RENDER_FPS))
                for _ in range(FPS // RENDER_FPS):
                    out.write(jpeg)
                    frames += 1
            entries.append(dict(kind=kind, code=passage.code, pix=passage.pix, send=KIND_BYTE[kind],
                                stress=passage.stressed,
                                steady_from=round(start + passage.steady_from, 3),
                                steady_to=round(start + passage.steady_to, 3),
                                gone_at=round(start + ENTER + HOLD + LEAVE, 3)))
            start += count / RENDER_FPS
    return dict(file=os.path.basename(path), level=level, fps=FPS, frames=frames,
                stamp=dict(bits=STAMP_BITS, side=STAMP_SIDE, per_second=RENDER_FPS),
                seconds=round(frames / FPS, 3), width=WIDTH, height=HEIGHT, documents=entries)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--count', type=int, default=2, help='clips per level (2)')
    parser.add_argument('--docs', type=int, default=7, help='documents per clip (7)')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--levels', default=','.join(LEVELS))
    parser.add_argument('--out', required=True)
    parser.add_argument('--check', help='zentory-cli, to check every code with its decode')
    args = parser.parse_args()
    levels = [level for level in args.levels.split(',') if level]
    for level in levels:
        if level not in LEVELS:
            raise SystemExit(f'make_clips.py: no level {level}')
    os.makedirs(args.out, exist_ok=True)
    clips = []
    for level in levels:
        for i in range(args.count):
            path = os.path.join(args.out, f'{level}-{i + 1:02d}.mjpeg')
            clip = make_clip(args.seed, level, i, args.docs, path)
            print(f'{clip["file"]}: {clip["frames"]} frames, {len(clip["documents"])} documents',
                  file=sys.stderr)
            clips.append(clip)
    if args.check:
        make_photos.check_codes(args.check, [dict(code=doc['code'], kind=doc['send'], pix=doc['pix'])
                                             for clip in clips for doc in clip['documents']])
    manifest = dict(version=VERSION, seed=args.seed, count=args.count, docs=args.docs, clips=clips)
    with open(os.path.join(args.out, 'manifest.json'), 'w') as f:
        json.dump(manifest, f, indent=1)


if __name__ == '__main__':
    main()
