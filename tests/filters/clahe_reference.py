import sys, numpy as np
f32 = np.float32
def clahe(v, divs, bins, limit):
    h, w = v.shape
    mn, mx = int(v.min()), int(v.max())
    tw, th = w // divs, h // divs
    area = tw * th
    if limit > 0:
        c = f32(limit) * f32(area) / f32(bins)
        clip = max(1, min(area, int(c)))
    else:
        clip = 16384
    binsize = (mx - mn) // bins + 1
    grey = np.zeros(65536, dtype=np.int64)
    grey[mn:mx + 1] = (np.arange(mn, mx + 1) - mn) // binsize
    maps = np.zeros((divs, divs, bins), dtype=np.int64)
    for ty in range(divs):
        for tx in range(divs):
            hist = np.bincount(grey[v[ty*th:(ty+1)*th, tx*tw:(tx+1)*tw].ravel()], minlength=bins).astype(np.int64)
            excess = int(np.maximum(hist - clip, 0).sum())
            incr = excess // bins; upper = clip - incr
            for i in range(bins):
                if hist[i] > clip: hist[i] = clip
                elif hist[i] > upper: excess -= hist[i] - upper; hist[i] = clip
                else: excess -= incr; hist[i] += incr
            while excess > 0:
                before = excess
                for start in range(bins):
                    if excess == 0: break
                    step = 1 if excess > bins else bins // excess
                    k = start
                    while k < bins and excess > 0:
                        if hist[k] < clip: hist[k] += 1; excess -= 1
                        k += step
                if excess >= before: break
            scale = f32(mx - mn) / f32(area)
            s = 0
            for i in range(bins):
                s += int(hist[i])
                val = f32(mn) + f32(s) * scale
                hist[i] = mx if val >= f32(mx) else int(val)
            maps[ty, tx] = hist
    out = v.copy()
    y0 = 0
    for ry in range(divs + 1):
        sy = th // 2 if ry in (0, divs) else th
        yu = 0 if ry == 0 else ry - 1
        yb = 0 if ry == 0 else (divs - 1 if ry == divs else ry)
        x0 = 0
        for rx in range(divs + 1):
            sx = tw // 2 if rx in (0, divs) else tw
            xl = 0 if rx == 0 else rx - 1
            xr = 0 if rx == 0 else (divs - 1 if rx == divs else rx)
            for j in range(sy):
                for i in range(sx):
                    g = grey[v[y0 + j, x0 + i]]
                    num = j * (i * maps[yb, xr][g] + (sx - i) * maps[yb, xl][g]) + (sy - j) * (i * maps[yu, xr][g] + (sx - i) * maps[yu, xl][g])
                    out[y0 + j, x0 + i] = num // (sx * sy)
            x0 += sx
        y0 += sy
    return out
w, h, divs, bins, limit = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6])
raw = np.fromfile(sys.argv[1], dtype=np.uint16).reshape(h, w)
v = (raw.astype(f32) / f32(65535) * f32(65535)).astype(np.int64)  # V as the start operation writes it
res = clahe(v, divs, bins, limit)
back = (res.astype(f32) / f32(65535) * f32(65535) * f32(1)).astype(np.uint16)
back.tofile(sys.argv[7])
