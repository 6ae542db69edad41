"""A phone photographing a printed page: the print (grey ink that spreads a little on
off-white, textured paper), the pose (a pinhole camera looking at the page's plane, so a
homography from page millimetres to pixels), the light (a gradient, vignetting, the
phone's shadow), the optics (defocus, hand shake), the sensor (noise that grows in the
dark, a warm cast) and the phone's processing (tone curve, sharpening, JPEG)."""

import math

import cv2
import numpy as np

import documents

RENDER_BUDGET = 42e6  # pixels of the page rendered for one photo


# ------------------------------------------------------------------ geometry

def rotation(roll, pitch, yaw):
    r, p, y = (math.radians(a) for a in (roll, pitch, yaw))
    rz = np.array([[math.cos(r), -math.sin(r), 0], [math.sin(r), math.cos(r), 0], [0, 0, 1]])
    rx = np.array([[1, 0, 0], [0, math.cos(p), -math.sin(p)], [0, math.sin(p), math.cos(p)]])
    ry = np.array([[math.cos(y), 0, math.sin(y)], [0, 1, 0], [-math.sin(y), 0, math.cos(y)]])
    return rz @ rx @ ry


def homography(width, height, focal, roll, pitch, yaw, aim, distance):
    """Page millimetres to image pixels, for a camera `distance` mm from the page point
    `aim` (which lands on the image's centre), turned by roll, pitch and yaw."""
    k = np.array([[focal, 0, width / 2], [0, focal, height / 2], [0, 0, 1]])
    rot = rotation(roll, pitch, yaw)
    t = -rot @ np.array([aim[0], aim[1], 0.0]) + np.array([0, 0, distance])
    return k @ np.column_stack([rot[:, 0], rot[:, 1], t])


def pose(p):
    """The homography of a photo's parameters; `flip` turns the phone upside down."""
    roll = p['roll'] + (180 if p.get('flip') else 0)
    return homography(p['width'], p['height'], p['focal'], roll, p['pitch'], p['yaw'], p['aim'],
                      p['distance'])


def project(h, pts):
    pts = np.asarray(pts, float).reshape(-1, 2)
    q = np.column_stack([pts, np.ones(len(pts))]) @ h.T
    return q[:, :2] / q[:, 2:3]


def local_scale(h, pts, step=0.5):
    """Largest stretch, in pixels per mm, of the map at each page point."""
    pts = np.asarray(pts, float).reshape(-1, 2)
    p0 = project(h, pts)
    dx = (project(h, pts + [step, 0]) - p0) / step
    dy = (project(h, pts + [0, step]) - p0) / step
    out = []
    for a, b in zip(dx, dy):
        out.append(np.linalg.svd(np.column_stack([a, b]), compute_uv=False)[0])
    return np.array(out)


def module_pixels(h, bc):
    """The narrow element's width in pixels where the barcode is smallest; a QR code's
    module across or down, whichever is smaller."""
    xs = np.linspace(bc['x'], bc['x'] + bc['w'], 5)
    ys = [bc['y'], bc['y'] + bc['h']]
    pts = np.array([(x, y) for x in xs for y in ys])
    steps = [(bc['module'], 0.0)] + ([(0.0, bc['module'])] if bc.get('symbology') == 'qr' else [])
    return min(float(np.min(np.hypot(*(project(h, pts + step) - project(h, pts)).T)))
               for step in np.array(steps))


def clip_in_front(h, poly, eps=1.0):
    """The part of a page polygon in front of the camera (its w above `eps`)."""
    def w(p):
        return h[2, 0] * p[0] + h[2, 1] * p[1] + h[2, 2]
    out = []
    for i in range(len(poly)):
        a, b = np.asarray(poly[i], float), np.asarray(poly[(i + 1) % len(poly)], float)
        wa, wb = w(a), w(b)
        if wa > eps:
            out.append(a)
        if (wa > eps) != (wb > eps):
            out.append(a + (b - a) * (eps - wa) / (wb - wa))
    return np.array(out)


def seen_area(h, width, height):
    """The page-plane points at the image's corners (all in front of the camera for the
    tilts used here)."""
    corners = np.array([[0, 0], [width, 0], [width, height], [0, height]], float)
    q = np.column_stack([corners, np.ones(4)]) @ np.linalg.inv(h).T
    if np.any(q[:, 2] * np.sign(h[2, 2]) <= 0):
        raise ValueError('the horizon is in the picture')
    return q[:, :2] / q[:, 2:3]


# ------------------------------------------------------------------ kernels

def disk_kernel(radius):
    if radius < 0.25:
        return np.ones((1, 1), np.float32)
    n = int(math.ceil(radius)) + 1
    sub = 8
    g = (np.arange(-n * sub, (n + 1) * sub) + 0.5) / sub - 0.5
    inside = (g[None, :] ** 2 + g[:, None] ** 2 <= radius ** 2).astype(np.float32)
    k = inside.reshape(2 * n + 1, sub, 2 * n + 1, sub).mean(axis=(1, 3))
    return k / k.sum()


def motion_kernel(length, angle):
    if length < 0.3:
        return np.ones((1, 1), np.float32)
    n = int(math.ceil(length / 2)) + 1
    k = np.zeros((2 * n + 1, 2 * n + 1), np.float32)
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    for t in np.linspace(-length / 2, length / 2, 64):
        x, y = n + t * c, n + t * s
        x0, y0 = int(math.floor(x)), int(math.floor(y))
        fx, fy = x - x0, y - y0
        k[y0, x0] += (1 - fx) * (1 - fy)
        k[y0, x0 + 1] += fx * (1 - fy)
        k[y0 + 1, x0] += (1 - fx) * fy
        k[y0 + 1, x0 + 1] += fx * fy
    return k / k.sum()


def combined_kernel(defocus, motion_len, motion_angle, lens_sigma):
    a, b = disk_kernel(defocus), motion_kernel(motion_len, motion_angle)
    n = (a.shape[0] + b.shape[0]) // 2 + int(math.ceil(3 * lens_sigma)) + 1
    canvas = np.zeros((2 * n + 1, 2 * n + 1), np.float32)
    ra = a.shape[0] // 2
    canvas[n - ra:n + ra + 1, n - ra:n + ra + 1] = a
    k = cv2.filter2D(canvas, -1, b, borderType=cv2.BORDER_CONSTANT)
    if lens_sigma > 0:
        k = cv2.GaussianBlur(k, (0, 0), lens_sigma, borderType=cv2.BORDER_CONSTANT)
    return k / k.sum()


# ------------------------------------------------------------------ textures

def smooth_noise(rng, shape, cell):
    """Gaussian noise of unit spread, smooth over about `cell` pixels."""
    small = (max(2, int(shape[0] / cell) + 2), max(2, int(shape[1] / cell) + 2))
    n = rng.standard_normal(small).astype(np.float32)
    return cv2.resize(n, (shape[1], shape[0]), interpolation=cv2.INTER_CUBIC)


def paper_texture(rng, amount):
    """Brightness of the sheet around 1, at 4 px/mm over the whole page."""
    shape = (int(documents.PAGE_H * 4), int(documents.PAGE_W * 4))
    fine = cv2.GaussianBlur(rng.standard_normal(shape).astype(np.float32), (0, 0), 0.8)
    fine /= fine.std() + 1e-6
    tex = 1 + amount * (0.6 * fine + 0.5 * smooth_noise(rng, shape, 16) +
                        0.5 * smooth_noise(rng, shape, 120))
    return tex.astype(np.float32)


DESKS = {
    'wood': (0.46, 0.30, 0.17), 'dark wood': (0.22, 0.13, 0.08), 'grey': (0.33, 0.33, 0.34),
    'white': (0.74, 0.73, 0.70), 'black': (0.07, 0.07, 0.08), 'blue cloth': (0.16, 0.22, 0.36),
}


def desk_texture(rng, kind, x0, y0, x1, y1, density):
    w, h = int((x1 - x0) * density) + 2, int((y1 - y0) * density) + 2
    base = np.array(DESKS[kind], np.float32)
    shade = 1 + 0.08 * smooth_noise(rng, (h, w), 60 * density)
    if 'wood' in kind:
        angle = rng.uniform(0, math.pi)
        yy, xx = np.mgrid[0:h, 0:w].astype(np.float32) / density
        along = xx * math.cos(angle) + yy * math.sin(angle)
        warp = 6 * smooth_noise(rng, (h, w), 80 * density)
        shade *= 1 + 0.12 * np.sin((along + warp) * 2 * math.pi / rng.uniform(3, 9))
    shade += 0.03 * smooth_noise(rng, (h, w), 2 * density)
    return np.clip(shade[..., None] * base, 0, 1).astype(np.float32)


# ------------------------------------------------------------------ the photo

def printed(ink, density, ink_reflectance, spread_mm):
    """The print's reflectance (uint8): ink coverage blurred at its edges and widened by
    `spread_mm`, on a sheet of reflectance 1."""
    sigma_mm = max(0.02, 0.7 * spread_mm)
    sigma = sigma_mm * density
    if sigma > 0.3:
        ink = cv2.GaussianBlur(ink, (0, 0), sigma)
    # Where a blurred edge crosses half coverage after the gain, it has moved by spread.
    phi = 0.5 * (1 + math.erf(spread_mm / sigma_mm / math.sqrt(2)))
    gain = 0.5 / max(1e-3, 1 - phi) if spread_mm > 0 else 1.0
    v = np.minimum(1, np.arange(256) / 255 * gain)
    lut = np.round(255 * (1 - v * (1 - ink_reflectance))).astype(np.uint8)
    return cv2.LUT(ink, lut)


def tone_lut(contrast):
    """Linear light (index / 4095) to the phone's 8-bit output: sRGB and an S-curve."""
    v = np.linspace(0, 1, 4096)
    y = np.where(v <= 0.0031308, 12.92 * v, 1.055 * np.power(v, 1 / 2.4) - 0.055)
    y = y + contrast * 4 * (y - 0.5) * y * (1 - y)
    return np.clip(np.round(255 * y), 0, 255).astype(np.uint8)


def photo(page, p, rng):
    """The JPEG bytes of a photo of `page` with the parameters `p` (see make_photos)."""
    W, H = p['width'], p['height']
    h = pose(p)
    seen = seen_area(h, W, H)
    sheet = printed_sheet(page, h, seen, p)
    tex = paper_texture(rng, p['paper_texture'])
    d_lo, d_hi = seen.min(0) - 5, seen.max(0) + 5
    d_density = min(2.0, math.sqrt(4e6 / float(np.prod(d_hi - d_lo))))
    desk = (desk_texture(rng, p['desk'], d_lo[0], d_lo[1], d_hi[0], d_hi[1], d_density), d_lo, d_density)
    return exposed(sheet, tex, desk, h, p, rng)


def printed_sheet(page, h, seen, p, finest=None):
    """The printed page where it is seen (or its whole width and height), rendered at 1.5
    times the finest sampling of the photo (or of `finest` pixels per mm): (reflectance,
    its top left in mm, its pixels per mm)."""
    lo = np.maximum(seen.min(0) - 1, [0, 0])
    hi = np.minimum(seen.max(0) + 1, [documents.PAGE_W, documents.PAGE_H])
    if finest is None:
        gx, gy = np.meshgrid(np.linspace(lo[0], hi[0], 7), np.linspace(lo[1], hi[1], 7))
        finest = float(local_scale(h, np.column_stack([gx.ravel(), gy.ravel()])).max())
    area = float(np.prod(hi - lo))
    density = min(1.5 * finest, math.sqrt(RENDER_BUDGET / area))
    ink = documents.rasterise(page, lo[0], lo[1], hi[0], hi[1], density)
    return printed(ink, density, p['ink'], p['spread']), lo, density


def exposed(sheet, tex, desk, h, p, rng, mark=None):
    """The JPEG bytes of the printed `sheet` (as printed_sheet makes it) on the `desk`
    (texture, top left in mm, pixels per mm) seen through the homography `h`: light,
    optics, sensor and the phone's processing. `mark(rgb)` may draw on the picture last."""
    W, H = p['width'], p['height']
    sheet, lo, density = sheet
    to_page = np.array([[1 / density, 0, lo[0]], [0, 1 / density, lo[1]], [0, 0, 1]])
    refl = cv2.warpPerspective(sheet, h @ to_page, (W, H), flags=cv2.INTER_LINEAR,
                               borderMode=cv2.BORDER_CONSTANT, borderValue=255)
    refl = refl.astype(np.float32) * (1 / 255)
    refl *= cv2.warpPerspective(tex, h @ np.diag([0.25, 0.25, 1]), (W, H),
                                flags=cv2.INTER_LINEAR, borderMode=cv2.BORDER_REPLICATE)

    # Where the sheet is, and the desk around it.
    sheet_poly = clip_in_front(h, [(0, 0), (documents.PAGE_W, 0),
                                   (documents.PAGE_W, documents.PAGE_H), (0, documents.PAGE_H)])
    mask = np.zeros((H, W), np.uint8)
    if len(sheet_poly) >= 3:  # none when the sheet is wholly behind the camera
        pts = np.clip(project(h, sheet_poly) * 16, -2**27, 2**27).astype(np.int32)
        cv2.fillPoly(mask, [pts], 255, cv2.LINE_AA, 4)
    mask = mask.astype(np.float32) * (1 / 255)
    desk, d_lo, d_density = desk
    to_desk = np.array([[1 / d_density, 0, d_lo[0]], [0, 1 / d_density, d_lo[1]], [0, 0, 1]])
    desk = cv2.warpPerspective(desk, h @ to_desk, (W, H), flags=cv2.INTER_LINEAR,
                               borderMode=cv2.BORDER_REPLICATE)
    # The sheet's own soft shadow on the desk.
    small = cv2.resize(mask, (W // 8, H // 8), interpolation=cv2.INTER_AREA)
    shift = np.float32([[1, 0, 2], [0, 1, 3]])
    contact = cv2.GaussianBlur(cv2.warpAffine(small, shift, small.shape[::-1]), (0, 0), 3)
    desk *= (1 - 0.35 * cv2.resize(contact, (W, H)))[..., None]

    tint = np.array(p['paper'], np.float32)
    refl *= mask
    scene = desk
    scene *= (1 - mask)[..., None]
    for c in range(3):
        scene[..., c] += refl * tint[c]
    del refl, desk

    # Light: a gradient, the lens's vignetting and perhaps the phone's shadow.
    sw, sh = W // 16, H // 16
    yy, xx = np.mgrid[0:sh, 0:sw].astype(np.float32)
    xx, yy = (xx + 0.5) / sw - 0.5, (yy + 0.5) / sh - 0.5
    a = math.radians(p['gradient_angle'])
    along = xx * math.cos(a) + yy * math.sin(a)
    along = (along - along.min()) / (along.max() - along.min())
    aspect = W / H
    r2 = ((xx * aspect) ** 2 + yy ** 2) / ((0.5 * aspect) ** 2 + 0.25)
    light = (1 - p['gradient'] * along) * (1 - p['vignette'] * r2)
    light = cv2.resize(light.astype(np.float32), (W, H), interpolation=cv2.INTER_CUBIC)
    if p.get('shadow'):
        light *= shadow_map(h, p['shadow'], W, H)
    scene *= cv2.merge([light * (c * p['exposure']) for c in p['cast']])
    del light

    # Optics.
    k = combined_kernel(p['defocus'], p['motion'], p['motion_angle'], p['lens_sigma'])
    scene = cv2.filter2D(scene, -1, k, borderType=cv2.BORDER_REFLECT)

    # Sensor noise: shot noise grows with the signal, the read noise floor dominates the
    # dark; luminance grain is fine, chroma noise blotchy.
    sigma = np.maximum(scene, 0)
    sigma *= p['shot']
    sigma += p['read'] ** 2
    np.sqrt(sigma, out=sigma)
    luma = cv2.GaussianBlur(rng.standard_normal((H, W), dtype=np.float32), (0, 0), 0.6)
    luma *= 1 / (luma[::7, ::7].std() + 1e-6)
    chroma = rng.standard_normal((H // 2, W // 2, 3), dtype=np.float32)
    chroma = cv2.resize(cv2.GaussianBlur(chroma, (0, 0), 1.0), (W, H))
    chroma *= 1 / (chroma[::7, ::7].std() + 1e-6)
    chroma *= 0.5
    chroma += (0.85 * luma)[..., None]
    chroma *= sigma
    scene += chroma
    del sigma, luma, chroma

    scene *= 4095
    np.clip(scene, 0, 4095, out=scene)
    idx = scene.astype(np.uint16)
    out = tone_lut(p['contrast'])[idx]
    del scene, idx
    if p['sharpen'] > 0:
        soft = cv2.GaussianBlur(out, (0, 0), p['sharpen_sigma'])
        out = cv2.addWeighted(out, 1 + p['sharpen'], soft, -p['sharpen'], 0)
    if mark:
        mark(out)
    ok, jpeg = cv2.imencode('.jpg', cv2.cvtColor(out, cv2.COLOR_RGB2BGR),
                            [cv2.IMWRITE_JPEG_QUALITY, int(p['jpeg'])])
    assert ok
    return jpeg.tobytes()


def shadow_map(h, s, W, H):
    """1 in the light, `depth` in the phone's shadow. Its edges are lines on the page
    (so lines in the photo too), soft over `soft` mm."""
    yy, xx = np.ogrid[0:H, 0:W]
    inside = None
    for (px, py, angle) in s['edges']:
        a = math.radians(angle)
        ends = project(h, [(px - 40 * math.cos(a), py - 40 * math.sin(a)),
                           (px + 40 * math.cos(a), py + 40 * math.sin(a))])
        d = ends[1] - ends[0]
        n = np.array([-d[1], d[0]]) / np.hypot(*d)
        scale = float(local_scale(h, [(px, py)])[0])
        dist = ((xx - ends[0][0]) * n[0] + (yy - ends[0][1]) * n[1]) / (s['soft'] * scale)
        dist = dist.astype(np.float32)
        inside = dist if inside is None else np.minimum(inside, dist)
    t = np.clip(inside + 0.5, 0, 1)
    t = t * t * (3 - 2 * t)
    return (1 - (1 - s['depth']) * t).astype(np.float32)
