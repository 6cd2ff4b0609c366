#!/usr/bin/env python3
"""Writes characters/Tockel.acs and characters/Bramble.acs.

Both characters are drawn here as one SVG each, every part a top-level
<g id="..."> in frame coordinates (the engine draws parts one by one, by id,
back to front). The animations are written as poses of a small rig: a part
can follow a parent (the eyes follow the head, a hand follows its arm); each
pose is flattened into the per-part dx/dy/rotate/scale the file format holds,
every part turning about its own pivot.

Run from the repository root:  python3 scripts/make-characters.py
"""
import json
import math
import os
import sys

# ---------------------------------------------------------------- geometry


def mat(a=1.0, b=0.0, c=0.0, d=1.0, e=0.0, f=0.0):
    # x' = a*x + c*y + e ; y' = b*x + d*y + f
    return (a, b, c, d, e, f)


def mul(m, n):
    """m after n."""
    a, b, c, d, e, f = m
    A, B, C, D, E, F = n
    return (a * A + c * B, b * A + d * B, a * C + c * D, b * C + d * D,
            a * E + c * F + e, b * E + d * F + f)


def apply(m, p):
    a, b, c, d, e, f = m
    return (a * p[0] + c * p[1] + e, b * p[0] + d * p[1] + f)


def local(dx=0.0, dy=0.0, rot=0.0, sc=1.0, at=(0.0, 0.0)):
    """Translate by (dx, dy) after turning by rot degrees (clockwise on screen)
    and scaling by sc about the point at."""
    r = math.radians(rot)
    co, si = math.cos(r) * sc, math.sin(r) * sc
    px, py = at
    # T(at) R S T(-at), then T(dx, dy)
    e = px - (co * px - si * py) + dx
    f = py - (si * px + co * py) + dy
    return (co, si, -si, co, e, f)


def rot_pt(p, deg, about=(0.0, 0.0)):
    r = math.radians(deg)
    x, y = p[0] - about[0], p[1] - about[1]
    return (about[0] + x * math.cos(r) - y * math.sin(r),
            about[1] + x * math.sin(r) + y * math.cos(r))


def n(v):
    s = ('%.2f' % v).rstrip('0').rstrip('.')
    return '0' if s in ('-0', '') else s


def path(segs, f=lambda p: p):
    """segs: [('M', [p]), ('C', [p1, p2, p3]), ('Q', [p1, p2]), ('L', [p]), ('Z', [])]"""
    out = []
    for cmd, pts in segs:
        out.append(cmd + ' '.join('%s,%s' % tuple(n(c) for c in f(p)) for p in pts))
    return ''.join(out)


def ellipse_segs(cx, cy, rx, ry):
    k = 0.5523
    return [('M', [(cx + rx, cy)]),
            ('C', [(cx + rx, cy + k * ry), (cx + k * rx, cy + ry), (cx, cy + ry)]),
            ('C', [(cx - k * rx, cy + ry), (cx - rx, cy + k * ry), (cx - rx, cy)]),
            ('C', [(cx - rx, cy - k * ry), (cx - k * rx, cy - ry), (cx, cy - ry)]),
            ('C', [(cx + k * rx, cy - ry), (cx + rx, cy - k * ry), (cx + rx, cy)]),
            ('Z', [])]


def placed(deg, to):
    """A function turning local points by deg and moving the origin to `to`."""
    return lambda p: (lambda q: (q[0] + to[0], q[1] + to[1]))(rot_pt(p, deg))


# ---------------------------------------------------------------- the rig


class Rig:
    def __init__(self, nodes, parts, pivots, hidden, mouths):
        self.nodes = nodes        # name -> (parent or None, default pivot)
        self.parts = parts        # part ids, document order
        self.pivots = pivots      # part -> pivot written to the file
        self.hidden = hidden
        self.mouths = mouths

    def chain(self, name):
        out = []
        while name is not None:
            out.append(name)
            name = self.nodes[name][0]
        return list(reversed(out))

    def keyframe(self, ms, pose):
        """pose: {'t': {node: {dx, dy, rot, sc, at}}, 'show': {part: opacity or
        True}, 'hide': [parts], 'mouth', 'whole', 'sound'}"""
        t = pose.get('t', {})
        parts = {}
        for part in self.parts:
            m = mat()
            rot = 0.0
            sc = 1.0
            for node in self.chain(part):
                spec = t.get(node)
                if not spec:
                    continue
                at = spec.get('at', self.nodes[node][1])
                m = mul(m, local(spec.get('dx', 0), spec.get('dy', 0), spec.get('rot', 0),
                                 spec.get('sc', 1), at))
                rot += spec.get('rot', 0)
                sc *= spec.get('sc', 1)
            q = self.pivots[part]
            moved = apply(m, q)
            entry = {}
            dx, dy = moved[0] - q[0], moved[1] - q[1]
            if abs(dx) >= 0.005:
                entry['dx'] = round(dx, 2)
            if abs(dy) >= 0.005:
                entry['dy'] = round(dy, 2)
            if abs(rot) >= 0.005:
                entry['rotate'] = round(rot, 2)
            if abs(sc - 1) >= 0.0005:
                entry['scale'] = round(sc, 3)
            if part in pose.get('show', {}):
                v = pose['show'][part]
                if part in self.hidden:
                    entry['visible'] = True
                if v is not True and v < 1:
                    entry['opacity'] = round(v, 3)
            if part in pose.get('hide', []):
                entry['visible'] = False
            if entry:
                parts[part] = entry
        kf = {'ms': int(ms)}
        if parts:
            kf['parts'] = parts
        if pose.get('mouth'):
            kf['mouth'] = pose['mouth']
        if pose.get('whole'):
            kf['whole'] = {k: round(v, 3) for k, v in pose['whole'].items()}
        if pose.get('sound'):
            kf['sound'] = pose['sound']
        return kf

    def animation(self, frames):
        return {'frames': [self.keyframe(ms, pose) for ms, pose in frames]}


def merge(*poses):
    """Combines pose fragments (later ones win per node)."""
    out = {'t': {}, 'show': {}, 'hide': []}
    for p in poses:
        for k, v in p.items():
            if k == 't':
                out['t'].update(v)
            elif k == 'show':
                out['show'].update(v)
            elif k == 'hide':
                out['hide'] = out['hide'] + list(v)
            else:
                out[k] = v
    return out


def aim(shoulder, hand, target):
    """The turn (degrees) that points an arm from its shoulder at a target."""
    a0 = math.atan2(hand[1] - shoulder[1], hand[0] - shoulder[0])
    a1 = math.atan2(target[1] - shoulder[1], target[0] - shoulder[0])
    d = math.degrees(a1 - a0)
    while d > 180:
        d -= 360
    while d < -180:
        d += 360
    return d


def notes(*triples):
    return [{'frequency': round(f, 2), 'ms': ms, 'gain': g} for f, ms, g in triples]


def hz(name):
    """'C6' -> Hz (equal temperament, A4 = 440)."""
    names = {'C': -9, 'D': -7, 'E': -5, 'F': -4, 'G': -2, 'A': 0, 'B': 2}
    semis = names[name[0]]
    rest = name[1:]
    if rest.startswith('#'):
        semis += 1
        rest = rest[1:]
    elif rest.startswith('b'):
        semis -= 1
        rest = rest[1:]
    octave = int(rest)
    return 440.0 * 2 ** ((semis + 12 * (octave - 4)) / 12.0)


def svg_doc(w, h, defs, groups):
    body = ''.join('<g id="%s">%s</g>' % (gid, inner) for gid, inner in groups)
    return ('<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            'width="%d" height="%d" viewBox="0 0 %d %d"><defs>%s</defs>%s</svg>'
            % (w, h, w, h, defs, body))


def lin(gid, x1, y1, x2, y2, stops):
    return ('<linearGradient id="%s" x1="%s" y1="%s" x2="%s" y2="%s">%s</linearGradient>'
            % (gid, x1, y1, x2, y2, ''.join('<stop offset="%s" stop-color="%s"/>' % s for s in stops)))


def rad(gid, cx, cy, r, fx, fy, stops):
    return ('<radialGradient id="%s" cx="%s" cy="%s" r="%s" fx="%s" fy="%s">%s</radialGradient>'
            % (gid, cx, cy, r, fx, fy, ''.join('<stop offset="%s" stop-color="%s"/>' % s for s in stops)))


# ================================================================= Tockel

INK = '#3a2414'


def tockel():
    W = H = 128
    C = (64.0, 64.0)        # centre of the clock case and dial
    BODY_R = 33.0
    SHOULDER_L, SHOULDER_R = (35.0, 72.0), (93.0, 72.0)
    HAND_L, HAND_R = (25.0, 91.0), (103.0, 91.0)
    HIP_L, HIP_R = (56.0, 92.0), (72.0, 92.0)
    EYE_L, EYE_R = (53.0, 57.0), (75.0, 57.0)

    defs = ''.join([
        rad('brass', 0.5, 0.5, 0.62, 0.32, 0.26,
            [('0', '#fff1b8'), ('0.35', '#f5c84c'), ('0.8', '#d69a2a'), ('1', '#a8701c')]),
        rad('dial', 0.5, 0.5, 0.55, 0.4, 0.32,
            [('0', '#fffdf6'), ('0.75', '#fbf0d9'), ('1', '#ecd6ae')]),
        rad('coral', 0.5, 0.5, 0.6, 0.35, 0.3,
            [('0', '#ffb39c'), ('0.5', '#ff7d5e'), ('1', '#d9503a')]),
        rad('bellg', 0.5, 0.5, 0.65, 0.3, 0.25,
            [('0', '#fff4c4'), ('0.45', '#f2c14a'), ('1', '#b47a1e')]),
        rad('glove', 0.5, 0.5, 0.6, 0.35, 0.3,
            [('0', '#ffffff'), ('0.7', '#f6efe3'), ('1', '#dcd0bd')]),
        rad('pupil', 0.5, 0.5, 0.6, 0.4, 0.35,
            [('0', '#5a3a26'), ('1', '#1c120b')]),
        rad('bulbg', 0.5, 0.5, 0.6, 0.4, 0.35,
            [('0', '#ffffff'), ('0.4', '#fff3a6'), ('1', '#ffc93a')]),
        lin('book', 0, 0, 0, 1, [('0', '#ff8c6e'), ('1', '#d44c36')]),
        lin('leg', 0, 0, 1, 0, [('0', '#e7b345'), ('1', '#b98220')]),
    ])

    def outline_line(segs, inner, w_out=6.0, w_in=3.0):
        d = path(segs)
        return ('<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round" stroke-linejoin="round"/>'
                '<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round" stroke-linejoin="round"/>'
                % (d, INK, w_out, d, inner, w_in))

    g = []
    g.append(('shadow', '<ellipse cx="64" cy="120" rx="25" ry="4.5" fill="#000000" fill-opacity="0.22"/>'))

    def leg(hip, ankle, shoe_c, flip):
        s = outline_line([('M', [hip]), ('L', [ankle])], '#c8902a', 6.5, 3.5)
        cx, cy = shoe_c
        s += '<ellipse cx="%s" cy="%s" rx="9" ry="5.2" fill="url(#coral)" stroke="%s" stroke-width="2"/>' % (n(cx), n(cy), INK)
        s += '<ellipse cx="%s" cy="%s" rx="3" ry="1.4" fill="#ffffff" fill-opacity="0.6"/>' % (n(cx - 2.5 * flip), n(cy - 2.2))
        return s

    g.append(('legLeft', leg(HIP_L, (54.0, 111.0), (51.5, 114.0), 1)))
    g.append(('legRight', leg(HIP_R, (74.0, 111.0), (76.5, 114.0), -1)))

    def arm(sh, hand, bend):
        mid = ((sh[0] + hand[0]) / 2 + bend, (sh[1] + hand[1]) / 2 - 1)
        return outline_line([('M', [sh]), ('Q', [mid, hand])], '#e2aa3c', 6.5, 3.5)

    g.append(('armLeft', arm(SHOULDER_L, HAND_L, -3)))
    g.append(('armRight', arm(SHOULDER_R, HAND_R, 3)))

    # bells: domes on the shoulders of the case, pointing outwards
    def bell(side):
        ang = -40.0 * side                      # turn from straight up
        base = rot_pt((C[0], C[1] - 36.5), ang, C)
        f = placed(ang, base)
        s = '<path d="%s" fill="none" stroke="%s" stroke-width="3.2" stroke-linecap="round"/>' % (
            path([('M', [(0, 1)]), ('L', [(0, 6)])], f), INK)
        dome = [('M', [(-11.5, 0)]), ('C', [(-11.5, -9), (-6.5, -14.5), (0, -14.5)]),
                ('C', [(6.5, -14.5), (11.5, -9), (11.5, 0)]), ('Z', [])]
        s += '<path d="%s" fill="url(#bellg)" stroke="%s" stroke-width="2" stroke-linejoin="round"/>' % (path(dome, f), INK)
        s += '<path d="%s" fill="url(#coral)" stroke="%s" stroke-width="1.8"/>' % (
            path(ellipse_segs(0, 0, 12.5, 2.6), f), INK)
        k = f((0, -16.5))
        s += '<circle cx="%s" cy="%s" r="2.6" fill="url(#coral)" stroke="%s" stroke-width="1.6"/>' % (n(k[0]), n(k[1]), INK)
        s += '<path d="%s" fill="none" stroke="#ffffff" stroke-opacity="0.7" stroke-width="1.8" stroke-linecap="round"/>' % (
            path([('M', [(-7.5, -3)]), ('Q', [(-7, -9), (-2.5, -11)])], f))
        return s, base

    bl, BELL_L = bell(1)
    br, BELL_R = bell(-1)
    g.append(('bellLeft', bl))
    g.append(('bellRight', br))

    body = ''
    # winding crown on top
    body += '<rect x="60.5" y="26.5" width="7" height="6" rx="1.5" fill="url(#bellg)" stroke="%s" stroke-width="1.8"/>' % INK
    body += '<circle cx="64" cy="25" r="3.4" fill="url(#coral)" stroke="%s" stroke-width="1.8"/>' % INK
    body += '<circle cx="64" cy="64" r="%s" fill="url(#brass)" stroke="%s" stroke-width="2.2"/>' % (n(BODY_R), INK)
    body += ('<path d="M38.5,52 A28.5,28.5 0 0 1 55,36.5" fill="none" stroke="#fffbe6" stroke-opacity="0.75" '
             'stroke-width="2.4" stroke-linecap="round"/>')
    g.append(('body', body))

    face = '<circle cx="64" cy="64" r="26.5" fill="url(#dial)" stroke="#8d5a1c" stroke-width="1.6"/>'
    for i in range(12):
        a = i * 30
        r1 = 21.5 if i % 3 == 0 else 22.8
        p1 = rot_pt((64, 64 - r1), a, C)
        p2 = rot_pt((64, 64 - 24.6), a, C)
        face += '<path d="M%s,%sL%s,%s" stroke="#c39a62" stroke-width="%s" stroke-linecap="round"/>' % (
            n(p1[0]), n(p1[1]), n(p2[0]), n(p2[1]), '1.8' if i % 3 == 0 else '1.1')
    face += '<ellipse cx="45.5" cy="71.5" rx="4.6" ry="2.9" fill="#ff7d5e" fill-opacity="0.38"/>'
    face += '<ellipse cx="82.5" cy="71.5" rx="4.6" ry="2.9" fill="#ff7d5e" fill-opacity="0.38"/>'
    g.append(('face', face))

    # clock hands, at rest both pointing at twelve
    def hand(length, width, tail):
        d = path([('M', [(64 - width / 2, 64 + tail)]), ('L', [(64 - width * 0.35, 64 - length + 2)]),
                  ('L', [(64, 64 - length)]), ('L', [(64 + width * 0.35, 64 - length + 2)]),
                  ('L', [(64 + width / 2, 64 + tail)]), ('Z', [])])
        return '<path d="%s" fill="#e0553d" stroke="%s" stroke-width="1" stroke-linejoin="round"/>' % (d, INK)

    g.append(('minuteHand', hand(20.5, 2.6, 3)))
    g.append(('hourHand', hand(14, 3.6, 3)))

    whites = ''
    for e in (EYE_L, EYE_R):
        whites += '<ellipse cx="%s" cy="%s" rx="7.2" ry="8.8" fill="#ffffff" stroke="%s" stroke-width="1.8"/>' % (n(e[0]), n(e[1]), INK)
    g.append(('eyeWhites', whites))
    g.append(('hub', '<circle cx="64" cy="64" r="2.7" fill="url(#coral)" stroke="%s" stroke-width="1.2"/>' % INK))

    pupils = ''
    for e, dx in ((EYE_L, 0.5), (EYE_R, -0.5)):
        cx, cy = e[0] + dx, e[1] + 1.2
        pupils += '<circle cx="%s" cy="%s" r="4.4" fill="url(#pupil)"/>' % (n(cx), n(cy))
        pupils += '<circle cx="%s" cy="%s" r="1.7" fill="#ffffff"/>' % (n(cx + 1.4), n(cy - 1.6))
        pupils += '<circle cx="%s" cy="%s" r="0.85" fill="#ffffff"/>' % (n(cx - 1.5), n(cy + 1.6))
    g.append(('eyes', pupils))

    closed = ''
    happy = ''
    for e in (EYE_L, EYE_R):
        x, y = e
        closed += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.4" stroke-linecap="round"/>' % (
            n(x - 6.5), n(y + 1), n(x), n(y + 5.5), n(x + 6.5), n(y + 1), INK)
        closed += '<path d="M%s,%sL%s,%s" stroke="%s" stroke-width="1.4" stroke-linecap="round"/>' % (
            n(x - 6), n(y + 1.3), n(x - 8), n(y - 0.2), INK)
        happy += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.6" stroke-linecap="round"/>' % (
            n(x - 6.2), n(y + 3), n(x), n(y - 6), n(x + 6.2), n(y + 3), INK)
    g.append(('eyesClosed', closed))
    g.append(('eyesHappy', happy))

    def brow(cx, flip):
        return '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.8" stroke-linecap="round"/>' % (
            n(cx - 6 * flip), n(45.5), n(cx), n(41.8), n(cx + 6 * flip), n(44.5), INK)

    g.append(('browLeft', brow(EYE_L[0], 1)))
    g.append(('browRight', brow(EYE_R[0], -1)))

    MOUTH_RED, TONGUE = '#7a2419', '#ff8a70'
    g.append(('mouthClosed',
              '<path d="M57,76Q64,82 71,76" fill="none" stroke="%s" stroke-width="2.4" stroke-linecap="round"/>' % INK))
    g.append(('mouthSmall',
              '<ellipse cx="64" cy="78" rx="3.8" ry="3.4" fill="%s" stroke="%s" stroke-width="1.8"/>'
              '<ellipse cx="64" cy="79.6" rx="2.2" ry="1.2" fill="%s"/>' % (MOUTH_RED, INK, TONGUE)))
    g.append(('mouthOpen',
              '<path d="M57,74.5Q64,76.5 71,74.5Q70.5,85 64,85.5Q57.5,85 57,74.5Z" fill="%s" stroke="%s" stroke-width="1.9" stroke-linejoin="round"/>'
              '<ellipse cx="64" cy="82.4" rx="4.2" ry="2.2" fill="%s"/>' % (MOUTH_RED, INK, TONGUE)))
    g.append(('mouthWide',
              '<path d="M53.5,73Q64,76.5 74.5,73Q73,88 64,88Q55,88 53.5,73Z" fill="%s" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
              '<path d="M55.6,74.3Q64,77.2 72.4,74.3L72,76.8Q64,79.2 56,76.8Z" fill="#ffffff"/>'
              '<ellipse cx="64" cy="84.6" rx="5.2" ry="2.6" fill="%s"/>' % (MOUTH_RED, INK, TONGUE)))

    # a little open book, held in front of the dial
    book = ('<path d="M43,77L64,80.5L85,77L85,95L64,98.5L43,95Z" fill="url(#book)" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
            '<path d="M45.5,77Q55,75 63,79.5L63,95.5Q55,92 45.5,93.2Z" fill="#fffcf2" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>'
            '<path d="M82.5,77Q73,75 65,79.5L65,95.5Q73,92 82.5,93.2Z" fill="#fffcf2" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>'
            % (INK, INK, INK))
    for i in range(4):
        y = 81 + i * 3
        book += '<path d="M48,%sQ54.5,%s 60.5,%s" fill="none" stroke="#b7a88f" stroke-width="1" stroke-linecap="round"/>' % (n(y), n(y - 1.2), n(y + 1.3))
        book += '<path d="M67.5,%sQ73.5,%s 80,%s" fill="none" stroke="#b7a88f" stroke-width="1" stroke-linecap="round"/>' % (n(y + 1.3), n(y - 1.2), n(y))
    g.append(('book', book))

    def glove(c, thumb_dir):
        x, y = c
        t = (x + 4.6 * thumb_dir, y - 3.2)
        return ('<circle cx="%s" cy="%s" r="3" fill="url(#glove)" stroke="%s" stroke-width="1.7"/>'
                '<circle cx="%s" cy="%s" r="6.4" fill="url(#glove)" stroke="%s" stroke-width="2"/>'
                % (n(t[0]), n(t[1]), INK, n(x), n(y), INK))

    g.append(('handLeft', glove(HAND_L, 1)))
    g.append(('handRight', glove(HAND_R, -1)))

    # the right glove with one finger up (up along the arm, away from the shoulder)
    arm_dir = math.degrees(math.atan2(HAND_R[1] - SHOULDER_R[1], HAND_R[0] - SHOULDER_R[0]))
    f = placed(arm_dir + 90, HAND_R)
    finger = [('M', [(-2.1, -3)]), ('L', [(-2.1, -11.5)]), ('Q', [(-2.1, -14), (0, -14)]),
              ('Q', [(2.1, -14), (2.1, -11.5)]), ('L', [(2.1, -3)]), ('Z', [])]
    point = ('<path d="%s" fill="url(#glove)" stroke="%s" stroke-width="1.7" stroke-linejoin="round"/>' % (path(finger, f), INK))
    point += '<circle cx="%s" cy="%s" r="6.4" fill="url(#glove)" stroke="%s" stroke-width="2"/>' % (n(HAND_R[0]), n(HAND_R[1]), INK)
    k = f((-4.2, 1.5))
    point += '<circle cx="%s" cy="%s" r="2.6" fill="url(#glove)" stroke="%s" stroke-width="1.5"/>' % (n(k[0]), n(k[1]), INK)
    g.append(('handRightPoint', point))

    # the idea light bulb, above and to the right of the head
    B = (106.0, 19.0)
    bulb = ''
    for a in (-75, -38, 38, 75):
        p1 = rot_pt((B[0], B[1] - 10.5), a, B)
        p2 = rot_pt((B[0], B[1] - 14), a, B)
        bulb += '<path d="M%s,%sL%s,%s" stroke="#ffb43a" stroke-width="2" stroke-linecap="round"/>' % (n(p1[0]), n(p1[1]), n(p2[0]), n(p2[1]))
    bulb += ('<path d="M102.2,25Q99,22.3 99,18.5Q99,11.7 106,11.7Q113,11.7 113,18.5Q113,22.3 109.8,25Z" '
             'fill="url(#bulbg)" stroke="%s" stroke-width="1.8" stroke-linejoin="round"/>' % INK)
    bulb += '<rect x="102.3" y="24.8" width="7.4" height="5.2" rx="1.2" fill="#b9b2a6" stroke="%s" stroke-width="1.5"/>' % INK
    bulb += '<path d="M102.8,27.4L109.2,27.4" stroke="%s" stroke-width="0.9"/>' % INK
    bulb += '<path d="M103.3,17Q103.5,14.5 105.6,14.1" fill="none" stroke="#ffffff" stroke-width="1.5" stroke-linecap="round"/>'
    g.append(('bulb', bulb))

    art = svg_doc(W, H, defs, g)
    part_ids = [gid for gid, _ in g]

    # ---- rig
    HEAD_PIVOT = C
    nodes = {
        'head': (None, HEAD_PIVOT),
        'shadow': (None, (64, 120)), 'legLeft': (None, HIP_L), 'legRight': (None, HIP_R),
        'bulb': (None, (106, 29)),
        'armLeft': ('head', SHOULDER_L), 'armRight': ('head', SHOULDER_R),
        'handLeft': ('armLeft', HAND_L), 'handRight': ('armRight', HAND_R),
        'handRightPoint': ('armRight', HAND_R),
        'bellLeft': ('head', BELL_L), 'bellRight': ('head', BELL_R),
        'body': ('head', C), 'face': ('head', C), 'minuteHand': ('head', C), 'hourHand': ('head', C),
        'eyeWhites': ('head', C), 'hub': ('head', C), 'eyes': ('head', C),
        'eyesClosed': ('head', C), 'eyesHappy': ('head', C),
        'browLeft': ('head', (EYE_L[0], 44)), 'browRight': ('head', (EYE_R[0], 44)),
        'mouthClosed': ('head', (64, 78)), 'mouthSmall': ('head', (64, 78)),
        'mouthOpen': ('head', (64, 78)), 'mouthWide': ('head', (64, 78)),
        'book': ('head', (64, 88)),
    }
    pivots = {p: tuple(float(v) for v in nodes[p][1]) for p in part_ids}
    hidden = ['mouthSmall', 'mouthOpen', 'mouthWide', 'eyesClosed', 'eyesHappy', 'book', 'handRightPoint', 'bulb']
    mouths = {'closed': 'mouthClosed', 'small': 'mouthSmall', 'open': 'mouthOpen', 'wide': 'mouthWide'}
    rig = Rig(nodes, part_ids, pivots, hidden, mouths)

    UP_R = aim(SHOULDER_R, HAND_R, (SHOULDER_R[0] + 6, SHOULDER_R[1] - 30))    # right arm straight up
    UP_L = aim(SHOULDER_L, HAND_L, (SHOULDER_L[0] - 6, SHOULDER_L[1] - 30))

    def P(head=None, tilt=None, look=None, brows=None, browL=None, browR=None, arms=None, armL=None, armR=None,
          legs=None, bells=None, clock=None, eyes=None, mouth=None, whole=None, sound=None, show=None, hide=None,
          book=None, bulb=None, point=False, shadow=None):
        t = {}
        if head or tilt:
            h = dict(head or {})
            if tilt:   # tilt is a turn about the feet of the case
                h['rot'] = tilt
                h['at'] = (64, 97)
            t['head'] = h
        if look:
            t['eyes'] = {'dx': look[0], 'dy': look[1]}
        if brows is not None:
            browL = browL or {'dy': brows}
            browR = browR or {'dy': brows}
        if browL:
            t['browLeft'] = browL
        if browR:
            t['browRight'] = browR
        if arms:
            armL, armR = arms
        if armL:
            t['armLeft'] = {'rot': armL}
        if armR:
            t['armRight'] = {'rot': armR}
        if legs:
            t['legLeft'] = {'rot': legs[0]}
            t['legRight'] = {'rot': legs[1]}
        if bells:
            t['bellLeft'] = {'rot': bells[0]}
            t['bellRight'] = {'rot': bells[1]}
        if clock:
            t['hourHand'] = {'rot': clock[0]}
            t['minuteHand'] = {'rot': clock[1]}
        if shadow:
            t['shadow'] = {'sc': shadow}
        sh = dict(show or {})
        hd = list(hide or [])
        if eyes == 'closed':
            sh['eyesClosed'] = True
            hd += ['eyes', 'eyeWhites']
        elif eyes == 'happy':
            sh['eyesHappy'] = True
            hd += ['eyes', 'eyeWhites']
        if book is not None:
            sc, op = book
            sh['book'] = op
            t['book'] = {'sc': sc}
        if bulb is not None:
            sc, op = bulb
            sh['bulb'] = op
            t['bulb'] = {'sc': sc}
        if point:
            sh['handRightPoint'] = True
            hd.append('handRight')
        p = {'t': t, 'show': sh, 'hide': hd}
        if mouth:
            p['mouth'] = mouth
        if whole:
            p['whole'] = whole
        if sound:
            p['sound'] = sound
        return p

    REST = P()
    A = {}

    A['RestPose'] = [(0, REST)]

    A['Showing'] = [
        (0, P(whole={'scale': 0.1, 'opacity': 0, 'dy': 44}, sound='pop')),
        (260, P(whole={'scale': 1.06, 'dy': -5}, brows=-2.5, mouth='small', arms=(12, -12))),
        (140, P(whole={'scale': 0.97, 'dy': 1.5}, legs=(4, -4), shadow=1.05)),
        (120, P(whole={'scale': 1.01, 'dy': -0.5}, brows=-1)),
        (90, REST),
    ]

    A['Hiding'] = [
        (140, P(whole={'scale': 1.04, 'dy': -3}, brows=-2, eyes='closed', mouth='small', sound='whoosh')),
        (200, P(whole={'scale': 0.55, 'dy': 20, 'opacity': 0.7}, eyes='closed', arms=(20, -20))),
        (160, P(whole={'scale': 0.0, 'dy': 44, 'opacity': 0}, eyes='closed')),
    ]

    A['Blink'] = [
        (70, P(eyes='closed')),
        (90, REST),
    ]

    A['Pleased'] = [
        (160, P(head={'dy': 2}, brows=-1, arms=(8, -8), mouth='wide', eyes='happy', shadow=1.04)),
        (180, P(whole={'dy': -9}, brows=-3.5, arms=(40, -40), legs=(10, -10), mouth='wide', eyes='happy',
                bells=(-10, 10), shadow=0.8)),
        (160, P(whole={'dy': 1}, head={'dy': 1.5}, brows=-2, arms=(18, -18), legs=(3, -3), mouth='wide', eyes='happy', shadow=1.04)),
        (150, P(whole={'dy': -3}, tilt=4, brows=-2, arms=(26, -26), mouth='wide', eyes='happy', bells=(6, -6))),
        (150, P(tilt=-4, brows=-2, arms=(26, -26), mouth='wide', eyes='happy', bells=(-6, 6))),
        (420, P(brows=-1.5, arms=(10, -10), mouth='wide', eyes='happy')),
        (220, REST),
    ]

    A['Search'] = [
        (180, P(tilt=-3, look=(-2.6, 0.4), brows=-1.5, armR=-12)),
        (320, P(tilt=-6, head={'dx': -1}, look=(-2.8, 0.2), brows=-2.5, armR=-25, clock=(90, 360), mouth='small')),
        (220, P(tilt=-6, head={'dx': -1}, look=(-2.8, -0.6), brows=-2.5, armR=-25, clock=(120, 540), mouth='small')),
        (300, P(tilt=6, head={'dx': 1}, look=(2.8, 0.2), brows=-2.5, armL=25, clock=(210, 900), mouth='small')),
        (220, P(tilt=6, head={'dx': 1}, look=(2.8, -0.6), brows=-2.5, armL=25, clock=(240, 1080), mouth='small')),
        (220, P(tilt=0, look=(0, -1), brows=-1, clock=(330, 1350))),
        (200, P(clock=(360, 1440))),
        (0, REST),
    ]

    explain_r = -70
    A['Explain'] = [
        (140, P(tilt=1.5, armR=10, brows=0.5, look=(0.6, 0.4))),
        (240, P(tilt=-3, armR=explain_r, armL=-4, brows=-2.2, look=(1.8, -0.3))),
        (180, P(tilt=-3.5, armR=explain_r - 6, armL=-4, brows=-2.5, look=(1.2, -0.4))),
        (280, P(tilt=-2.5, armR=explain_r + 4, armL=-3, brows=-2, look=(0, 0))),
        (180, P(tilt=-2.5, armR=explain_r, browL={'dy': -2.5}, browR={'dy': -1.2}, look=(0, 0))),
        (260, REST),
    ]

    BOOK_L = (48.0, 90.0)
    BOOK_R = (80.0, 90.0)
    read_l = aim(SHOULDER_L, HAND_L, BOOK_L)
    read_r = aim(SHOULDER_R, HAND_R, BOOK_R)
    A['Read'] = [
        (0, P(book=(0.3, 0.0))),
        (220, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(0, 2.2), brows=1)),
        (260, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(-1.8, 2.6), brows=1, head={'dy': 1})),
        (300, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(1.8, 2.6), brows=0.6, head={'dy': 1})),
        (260, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(-1.8, 3.2), brows=1, head={'dy': 1.5})),
        (300, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(1.8, 3.2), brows=0.6, head={'dy': 1.5})),
        (160, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(0, -0.5), brows=-2, head={'dy': 0.5})),
        (180, P(book=(0.3, 0.0), arms=(6, -6))),
        (0, P(hide=['book'])),
        (120, REST),
    ]

    frown = dict(browL={'rot': 14, 'dy': 1.2}, browR={'rot': -14, 'dy': 1.2})
    no_up = UP_R + 20
    A['Decline'] = [
        (150, P(head={'rot': 3}, armR=no_up * 0.5, point=True, mouth='small', **frown)),
        (170, P(head={'rot': -7}, look=(-1.5, 0), armR=no_up + 12, point=True, mouth='small', **frown)),
        (150, P(head={'rot': 7}, look=(1.5, 0), armR=no_up - 12, point=True, mouth='small', **frown)),
        (150, P(head={'rot': -7}, look=(-1.5, 0), armR=no_up + 12, point=True, mouth='small', **frown)),
        (150, P(head={'rot': 7}, look=(1.5, 0), armR=no_up - 12, point=True, mouth='small', **frown)),
        (180, P(head={'rot': -2}, armR=no_up, point=True, **frown)),
        (260, P(armR=no_up * 0.3)),
        (0, REST),
    ]

    wave_hi, wave_lo = UP_R - 10, UP_R + 30
    A['Greet'] = [
        (200, P(tilt=2, armR=wave_lo * 0.45, brows=-1, mouth='small', look=(0.5, -0.3))),
        (220, P(tilt=-3, armR=wave_lo, brows=-3, mouth='wide', look=(0.5, -0.3), bells=(-5, 5), sound='hello')),
        (170, P(tilt=-4, armR=wave_hi, brows=-3, mouth='wide', bells=(5, -5))),
        (170, P(tilt=-3, armR=wave_lo, brows=-3, mouth='wide', bells=(-5, 5))),
        (170, P(tilt=-4, armR=wave_hi, brows=-3, mouth='wide', bells=(5, -5))),
        (170, P(tilt=-3, armR=wave_lo, brows=-3, mouth='wide')),
        (170, P(tilt=-4, armR=wave_hi, brows=-2.5, mouth='wide')),
        (240, P(tilt=-1, armR=wave_lo * 0.4, brows=-1)),
        (160, REST),
    ]

    scratch_l = aim(SHOULDER_L, HAND_L, (36, 42))
    puzzled = dict(browL={'dy': -3.2, 'rot': -8}, browR={'dy': 1.5, 'rot': -10})
    A['Confused'] = [
        (200, P(tilt=-3, look=(1.5, -1.5), **puzzled)),
        (320, P(tilt=-9, look=(2.5, -2.5), armL=scratch_l, clock=(-120, -360), mouth='small', **puzzled)),
        (160, P(tilt=-9, look=(2.5, -2.5), armL=scratch_l - 8, clock=(-150, -480), mouth='small', **puzzled)),
        (160, P(tilt=-9, look=(2.5, -2.5), armL=scratch_l, clock=(-180, -600), mouth='small', **puzzled)),
        (160, P(tilt=-9, look=(2.5, -2.5), armL=scratch_l - 8, clock=(-210, -720), mouth='small', **puzzled)),
        (320, P(tilt=-7, look=(-1, -1.5), armL=scratch_l * 0.5, clock=(-270, -900), browL={'dy': -2.5}, browR={'dy': 1, 'rot': -6})),
        (260, P(clock=(-360, -1080))),
        (0, REST),
    ]

    A['Suggest'] = [
        (140, P(head={'dy': 1.5}, armR=UP_R * 0.3, brows=0.5)),
        (0, P(head={'dy': 1.5}, armR=UP_R * 0.3, brows=0.5, bulb=(0.2, 0.0))),
        (220, P(head={'dy': -2.5}, armR=UP_R, point=True, brows=-3.2, mouth='open', look=(1.5, -2.2),
                bulb=(1.12, 1.0), sound='idea')),
        (130, P(armR=UP_R, point=True, brows=-3, mouth='open', look=(1.5, -2.2), bulb=(0.95, 1.0))),
        (500, P(armR=UP_R - 4, point=True, brows=-2.8, mouth='wide', look=(0.5, -1), bulb=(1.0, 1.0), tilt=-2)),
        (300, P(armR=UP_R - 2, point=True, brows=-2, look=(0, 0), bulb=(1.0, 1.0), tilt=-1)),
        (200, P(armR=UP_R * 0.4, bulb=(0.2, 0.0))),
        (0, P(hide=['bulb'])),
        (120, REST),
    ]

    alarm = dict(brows=-4, look=(0, -0.8), mouth='open')
    A['Alert'] = [
        (120, P(head={'dy': 3}, brows=1.5, arms=(6, -6), legs=(4, -4), shadow=1.05, sound='alert')),
        (150, P(whole={'dy': -10}, arms=(UP_L * 0.75, UP_R * 0.75), legs=(14, -14), bells=(-16, 16), shadow=0.75, **alarm)),
        (60, P(whole={'dy': -10}, arms=(UP_L * 0.8, UP_R * 0.8), legs=(14, -14), bells=(16, -16), shadow=0.75, **alarm)),
        (60, P(whole={'dy': -8}, arms=(UP_L * 0.8, UP_R * 0.8), legs=(10, -10), bells=(-16, 16), shadow=0.8, **alarm)),
        (120, P(whole={'dy': 1}, head={'dy': 1}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(16, -16), shadow=1.05, **alarm)),
        (60, P(head={'rot': -3}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(-16, 16), **alarm)),
        (60, P(head={'rot': 3}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(16, -16), **alarm)),
        (60, P(head={'rot': -3}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(-16, 16), **alarm)),
        (60, P(head={'rot': 3}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(16, -16), **alarm)),
        (60, P(head={'rot': -2}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(-12, 12), **alarm)),
        (60, P(head={'rot': 2}, arms=(UP_L * 0.7, UP_R * 0.7), bells=(12, -12), **alarm)),
        (60, P(arms=(UP_L * 0.6, UP_R * 0.6), bells=(-8, 8), **alarm)),
        (60, P(arms=(UP_L * 0.5, UP_R * 0.5), bells=(6, -6), brows=-3, look=(0, -0.5))),
        (60, P(arms=(UP_L * 0.4, UP_R * 0.4), bells=(-3, 3), brows=-3)),
        (200, P(arms=(10, -10), brows=-2)),
        (200, REST),
    ]

    def walk(direction):
        s = direction             # -1 left, +1 right
        lean = 3.5 * s
        look = (2.4 * s, 0.3)
        lead, trail = ('legLeft', 'legRight') if s < 0 else ('legRight', 'legLeft')
        # positive turns swing a foot to the left; each step lifts the moving foot
        def legs(first, second):
            return {lead: first, trail: second}
        frames = []
        for i, (legpose, dy, arm, sh) in enumerate([
                (legs({'rot': -16 * s, 'dy': -3}, {'rot': 4 * s}), 1.5, 10, 1.02),
                (legs({}, {}), -2, 0, 0.95),
                (legs({'rot': -4 * s}, {'rot': -10 * s, 'dy': -3}), 1.5, -10, 1.02)]):
            p = P(tilt=lean * (1 if dy > 0 else 0.6), head={'dy': dy}, look=look, arms=(arm or 0.001, arm or 0.001),
                  brows=-0.5, shadow=sh)
            p['t'].update({k: v for k, v in legpose.items() if v})
            frames.append((125, p))
        frames.append((125, REST))
        return frames

    A['MoveLeft'] = walk(-1)
    A['MoveRight'] = walk(1)

    A['Idle'] = [
        (300, P(look=(-2, 0.3))),
        (700, P(look=(-2, 0.3))),
        (70, P(look=(-2, 0.3), eyes='closed')),
        (90, P(look=(0, 0))),
        (300, P(look=(2, -0.5), browL={'dy': -1.5})),
        (800, P(look=(2, -0.5), browL={'dy': -1.5}, clock=(30, 0))),
        (300, P(clock=(30, 0))),
        (400, P(clock=(30, 0), bells=(-4, 4))),
        (200, P(clock=(30, 0))),
        (0, REST),
    ]

    sounds = {
        'alert': notes((hz('C6'), 150, 0.55), (hz('E6'), 150, 0.55), (hz('G6'), 150, 0.55),
                       (hz('C7'), 380, 0.6), (hz('G6'), 120, 0.4), (hz('C7'), 260, 0.5)),
        'pop': notes((hz('G5'), 60, 0.35), (hz('D6'), 110, 0.45)),
        'whoosh': notes((hz('G4'), 70, 0.3), (hz('D4'), 80, 0.25), (hz('G3'), 120, 0.2)),
        'hello': notes((hz('E6'), 140, 0.45), (hz('A6'), 260, 0.45)),
        'idea': notes((hz('B6'), 90, 0.4), (hz('E7'), 300, 0.45)),
    }

    return {
        'format': 'quillory-character/1',
        'name': 'Tockel',
        'description': 'A friendly little brass pocket clock on two legs, with bells for ears and a smile on its dial.',
        'frame': {'width': W, 'height': H},
        'voice': {'espeak': 'en-us+m3', 'rate': 165, 'pitch': 58},
        'art': art,
        'pivots': {p: [round(v, 2) for v in pivots[p]] for p in part_ids},
        'mouths': mouths,
        'hidden': hidden,
        'sounds': sounds,
        'animations': {k: rig.animation(v) for k, v in A.items()},
    }


# ================================================================= output


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'characters')
    if len(sys.argv) > 1:
        root = sys.argv[1]
    for ch in (tockel(),):
        out = os.path.join(root, ch['name'] + '.acs')
        with open(out, 'w', encoding='utf-8') as f:
            json.dump(ch, f, indent=1, ensure_ascii=False)
            f.write('\n')
        print('wrote', out)


if __name__ == '__main__':
    main()
