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


def viseme_mouths(cx, cy, k, red, ink, tongue):
    """The four mouth shapes beyond the loudness mouths, for speech sounds:
    lips pressed (m b p), teeth on the lower lip (f v), the tongue showing
    (th l) and rounded lips (o u w), centred on (cx, cy) and scaled by k."""
    def P(x, y):
        return '%s,%s' % (n(cx + x * k), n(cy + y * k))
    w = 1.8 * k
    return [
        ('mouthPressed',
         '<path d="M%sQ%s %s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"/>'
         '<path d="M%sL%s M%sL%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"/>'
         % (P(-6, -0.5), P(0, 1.2), P(6, -0.5), ink, n(3.2 * k),
            P(-7, -1.6), P(-6, -0.2), P(7, -1.6), P(6, -0.2), ink, n(1.4 * k))),
        ('mouthTeeth',
         '<path d="M%sQ%s %sQ%s %sZ" fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>'
         '<path d="M%sQ%s %sL%sQ%s %sZ" fill="#ffffff"/>'
         % (P(-6, -2.5), P(0, -1), P(6, -2.5), P(5, 3.5), P(-6, -2.5), red, ink, n(w),
            P(-5.2, -2.2), P(0, -0.8), P(5.2, -2.2), P(4.8, 0.2), P(0, 1.4), P(-4.8, 0.2))),
        ('mouthTongue',
         '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
         '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"/>'
         % (n(cx), n(cy + 0.5 * k), n(5 * k), n(3.4 * k), red, ink, n(w),
            n(cx), n(cy - 0.6 * k), n(3.4 * k), n(1.6 * k), tongue)),
        ('mouthRound',
         '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
         '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="#3a0f0a"/>'
         % (n(cx), n(cy + 1 * k), n(3.2 * k), n(4.6 * k), red, ink, n(2.2 * k),
            n(cx), n(cy + 1.4 * k), n(1.6 * k), n(2.6 * k))),
    ]


# Which part shows each speech shape; the loudness mouths stand for four.
VISEMES = {'rest': 'mouthClosed', 'mbp': 'mouthPressed', 'fv': 'mouthTeeth', 'th': 'mouthTongue',
           'open': 'mouthOpen', 'wide': 'mouthWide', 'round': 'mouthRound', 'etc': 'mouthSmall'}
VISEME_PARTS = ['mouthPressed', 'mouthTeeth', 'mouthTongue', 'mouthRound']


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
                move = t.get(node)
                if not move:
                    continue
                at = move.get('at', self.nodes[node][1])
                m = mul(m, local(move.get('dx', 0), move.get('dy', 0), move.get('rot', 0),
                                 move.get('sc', 1), at))
                rot += move.get('rot', 0)
                sc *= move.get('sc', 1)
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
    g.extend(viseme_mouths(64, 78, 1.0, MOUTH_RED, INK, TONGUE))

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
        **{m: ('head', (64, 78)) for m in VISEME_PARTS},
        'book': ('head', (64, 88)),
    }
    pivots = {p: tuple(float(v) for v in nodes[p][1]) for p in part_ids}
    hidden = ['mouthSmall', 'mouthOpen', 'mouthWide', 'eyesClosed', 'eyesHappy', 'book', 'handRightPoint',
              'bulb'] + VISEME_PARTS
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
        if browL is not None:
            t['browLeft'] = browL
        if browR is not None:
            t['browRight'] = browR
        if arms:
            armL, armR = arms
        if armL is not None:
            t['armLeft'] = {'rot': armL}
        if armR is not None:
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
        (120, P(tilt=1.5, armR=10, brows=0.5, look=(0.6, 0.4))),
        (220, P(tilt=-3, armR=explain_r, armL=-4, brows=-2.2, look=(1.8, -0.3))),
        (160, P(tilt=-3.5, armR=explain_r - 6, armL=-4, brows=-2.5, look=(1.2, -0.4))),
        (240, P(tilt=-2.5, armR=explain_r + 4, armL=-3, brows=-2, look=(0, 0))),
        (160, P(tilt=-2.5, armR=explain_r, browL={'dy': -2.5}, browR={'dy': -1.2}, look=(0, 0))),
        (220, REST),
    ]

    BOOK_L = (48.0, 90.0)
    BOOK_R = (80.0, 90.0)
    read_l = aim(SHOULDER_L, HAND_L, BOOK_L)
    read_r = aim(SHOULDER_R, HAND_R, BOOK_R)
    A['Read'] = [
        (0, P(book=(0.3, 0.0))),
        (220, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(0, 2.2), brows=1)),
        (220, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(-1.8, 2.6), brows=1, head={'dy': 1})),
        (240, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(1.8, 2.6), brows=0.6, head={'dy': 1})),
        (220, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(-1.8, 3.2), brows=1, head={'dy': 1.5})),
        (240, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(1.8, 3.2), brows=0.6, head={'dy': 1.5})),
        (140, P(book=(1.0, 1.0), arms=(read_l, read_r), look=(0, -0.5), brows=-2, head={'dy': 0.5})),
        (160, P(book=(0.3, 0.0), arms=(6, -6))),
        (0, P(hide=['book'])),
        (120, REST),
    ]

    frown = dict(browL={'rot': 14, 'dy': 1.2}, browR={'rot': -14, 'dy': 1.2})
    no_up = UP_R + 20
    A['Decline'] = [
        (150, P(head={'rot': 3}, armR=no_up * 0.5, mouth='small', **frown)),
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
            p = P(tilt=lean * (1 if dy > 0 else 0.6), head={'dy': dy}, look=look, arms=(arm, arm),
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
        # A clear, warm man's voice; espeak-ng's for what Flite cannot read.
        'voice': {'flite': 'rms', 'espeak': 'en-us+m3', 'rate': 165, 'pitch': 58},
        'art': art,
        'pivots': {p: [round(v, 2) for v in pivots[p]] for p in part_ids},
        'mouths': mouths,
        'visemes': VISEMES,
        'hidden': hidden,
        'sounds': sounds,
        'animations': {k: rig.animation(v) for k, v in A.items()},
    }


# ================================================================= Bramble

INK2 = '#2e2016'


def bramble():
    W = H = 128
    HC = (64.0, 55.0)        # centre of the head
    NECK = (64.0, 78.0)
    FEET = (64.0, 108.0)
    SHOULDER_L, SHOULDER_R = (45.0, 84.0), (83.0, 84.0)
    HAND_L, HAND_R = (35.0, 101.0), (93.0, 101.0)
    HIP_L, HIP_R = (56.0, 103.0), (72.0, 103.0)
    EYE_L, EYE_R = (54.5, 55.0), (73.5, 55.0)

    defs = ''.join([
        rad('spine', 0.5, 0.55, 0.55, 0.45, 0.35,
            [('0', '#a47a4e'), ('0.6', '#7a5533'), ('1', '#4e341f')]),
        rad('fur', 0.5, 0.5, 0.6, 0.38, 0.3,
            [('0', '#c99a68'), ('0.7', '#a6754a'), ('1', '#7e5533')]),
        rad('mask', 0.5, 0.5, 0.6, 0.42, 0.3,
            [('0', '#fff4dc'), ('0.7', '#f4dfb8'), ('1', '#e3c393')]),
        lin('apron', 0, 0, 0, 1, [('0', '#7dbb5c'), ('1', '#4b8a3b')]),
        rad('leaf', 0.5, 0.5, 0.7, 0.3, 0.3, [('0', '#c4ef8e'), ('0.5', '#86cc5c'), ('1', '#4f9a3a')]),
        rad('boot', 0.5, 0.5, 0.6, 0.35, 0.3, [('0', '#f0a27a'), ('0.55', '#d2703f'), ('1', '#a44d28')]),
        rad('paw', 0.5, 0.5, 0.6, 0.35, 0.3, [('0', '#fff1d8'), ('0.7', '#efd3a6'), ('1', '#d5b07c')]),
        rad('pupil2', 0.5, 0.5, 0.6, 0.4, 0.35, [('0', '#4a3424'), ('1', '#150d08')]),
        rad('nose', 0.5, 0.5, 0.6, 0.35, 0.3, [('0', '#6b4d3a'), ('1', '#1f140d')]),
        rad('bulb2', 0.5, 0.5, 0.6, 0.4, 0.35, [('0', '#ffffff'), ('0.4', '#fff3a6'), ('1', '#ffc93a')]),
        lin('cover', 0, 0, 0, 1, [('0', '#6fb552'), ('1', '#3f7a31')]),
        rad('glass', 0.5, 0.5, 0.6, 0.35, 0.3, [('0', '#ffffff'), ('1', '#cfeaf7')]),
    ])

    def outline_line(segs, inner, w_out, w_in):
        d = path(segs)
        return ('<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round" stroke-linejoin="round"/>'
                '<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round" stroke-linejoin="round"/>'
                % (d, INK2, w_out, d, inner, w_in))

    def star(c, r_in, r_out, a0, a1, count, squash=1.0):
        """Spikes around c from angle a0 to a1 (degrees clockwise from straight up)."""
        pts = []
        for i in range(count * 2 + 1):
            a = math.radians(a0 + (a1 - a0) * i / (count * 2))
            r = r_out if i % 2 else r_in
            pts.append((c[0] + r * math.sin(a), c[1] - r * math.cos(a) * squash))
        return pts

    g = []
    g.append(('shadow', '<ellipse cx="64" cy="120.5" rx="24" ry="4.5" fill="#000000" fill-opacity="0.22"/>'))

    def leg(hip, ankle, boot, flip):
        s = outline_line([('M', [hip]), ('L', [ankle])], '#8a5d38', 7, 4)
        cx, cy = boot
        s += ('<path d="M%s,%sQ%s,%s %s,%sQ%s,%s %s,%sZ" fill="url(#boot)" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
              % (n(cx - 8.5), n(cy + 3.5), n(cx - 8.5), n(cy - 5.5), n(cx), n(cy - 5.5),
                 n(cx + 8.5), n(cy - 5.5), n(cx + 8.5), n(cy + 3.5), INK2))
        s += '<path d="M%s,%sL%s,%s" stroke="%s" stroke-width="1.2" stroke-linecap="round"/>' % (
            n(cx - 6.5), n(cy - 1), n(cx + 6.5), n(cy - 1), '#8c3f20')
        s += '<ellipse cx="%s" cy="%s" rx="2.6" ry="1.3" fill="#ffffff" fill-opacity="0.55"/>' % (n(cx - 3 * flip), n(cy - 3.4))
        return s

    g.append(('legLeft', leg(HIP_L, (55.0, 111.0), (53.0, 115.0), 1)))
    g.append(('legRight', leg(HIP_R, (73.0, 111.0), (75.0, 115.0), -1)))

    def arm(sh, hand, bend):
        mid = ((sh[0] + hand[0]) / 2 + bend, (sh[1] + hand[1]) / 2)
        return outline_line([('M', [sh]), ('Q', [mid, hand])], '#9a6a40', 7.5, 4.5)

    g.append(('armLeft', arm(SHOULDER_L, HAND_L, -2)))
    g.append(('armRight', arm(SHOULDER_R, HAND_R, 2)))

    BC = (64.0, 92.0)
    body = ''
    body += '<ellipse cx="64" cy="92" rx="23" ry="18" fill="url(#fur)" stroke="%s" stroke-width="2"/>' % INK2
    # the gardening apron, with a pocket and a leaf stitched on it
    body += ('<path d="M50,80L78,80L79.5,93Q81,104 72,107.5L56,107.5Q47,104 48.5,93Z" fill="url(#apron)" '
             'stroke="%s" stroke-width="1.8" stroke-linejoin="round"/>' % INK2)
    body += '<path d="M55.5,93L72.5,93L71.5,101Q64,103.5 56.5,101Z" fill="#5c9c45" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % INK2
    body += '<path d="M55.5,93L72.5,93" stroke="#a9dc86" stroke-width="1" stroke-linecap="round"/>'
    body += '<path d="M61,99Q64,93.8 67.5,96Q65,100 61,99Z" fill="#c4ef8e" stroke="%s" stroke-width="0.9"/>' % INK2
    body += '<path d="M50,80L47,73M78,80L81,73" stroke="#4b8a3b" stroke-width="2.6" stroke-linecap="round"/>'
    g.append(('body', body))

    def spike_path(pts):
        return path([('M', [p]) if i == 0 else ('L', [p]) for i, p in enumerate(pts)] + [('L', [(64, 66)]), ('Z', [])])

    back = star((64.0, 57.0), 25, 37.5, -134, 134, 12)
    front = star((64.0, 56.0), 24, 32, -122, 122, 11)
    spines = '<path d="%s" fill="#5a3b22" stroke="%s" stroke-width="2" stroke-linejoin="round"/>' % (spike_path(back), INK2)
    spines += '<path d="%s" fill="url(#spine)" stroke="%s" stroke-width="1.6" stroke-linejoin="round"/>' % (spike_path(front), INK2)
    for i in range(1, len(front) - 1, 2):
        tip = front[i]
        a = (64 + (tip[0] - 64) * 0.8, 56 + (tip[1] - 56) * 0.8)
        b = (64 + (tip[0] - 64) * 0.93, 56 + (tip[1] - 56) * 0.93)
        spines += '<path d="M%s,%sL%s,%s" stroke="#d8b184" stroke-opacity="0.85" stroke-width="1.2" stroke-linecap="round"/>' % (
            n(a[0]), n(a[1]), n(b[0]), n(b[1]))
    g.append(('spines', spines))

    def ear(c):
        return ('<circle cx="%s" cy="%s" r="6.8" fill="url(#fur)" stroke="%s" stroke-width="2"/>'
                '<circle cx="%s" cy="%s" r="3.6" fill="#f0a898"/>' % (n(c[0]), n(c[1]), INK2, n(c[0]), n(c[1] + 0.5)))

    EAR_L, EAR_R = (41.5, 36.5), (86.5, 36.5)
    g.append(('earLeft', ear(EAR_L)))
    g.append(('earRight', ear(EAR_R)))

    head = '<circle cx="64" cy="55" r="25.5" fill="url(#fur)" stroke="%s" stroke-width="2.2"/>' % INK2
    head += ('<path d="M64,42Q70,36 78,38.5Q88.5,42 87.5,56Q87,71 76,78Q70,81.5 64,81.5Q58,81.5 52,78Q41,71 40.5,56'
             'Q39.5,42 50,38.5Q58,36 64,42Z" fill="url(#mask)" stroke="#b68a5a" stroke-width="1.2"/>')
    head += '<ellipse cx="45.5" cy="68.5" rx="4.6" ry="2.8" fill="#f08c7a" fill-opacity="0.42"/>'
    head += '<ellipse cx="82.5" cy="68.5" rx="4.6" ry="2.8" fill="#f08c7a" fill-opacity="0.42"/>'
    head += '<ellipse cx="64" cy="65.5" rx="4.2" ry="3.2" fill="url(#nose)" stroke="%s" stroke-width="1"/>' % INK2
    head += '<ellipse cx="62.6" cy="64.4" rx="1.4" ry="0.8" fill="#ffffff" fill-opacity="0.8"/>'
    g.append(('head', head))

    SPROUT = (64.0, 31.0)
    sprout = '<path d="M64,31.5Q63,25 65,19" fill="none" stroke="%s" stroke-width="4.2" stroke-linecap="round"/>' % INK2
    sprout += '<path d="M64,31.5Q63,25 65,19" fill="none" stroke="#5aa83f" stroke-width="2" stroke-linecap="round"/>'
    sprout += ('<path d="M64.3,23Q57,25 52.5,18.5Q58.5,13.5 64.3,23Z" fill="url(#leaf)" stroke="%s" stroke-width="1.6" stroke-linejoin="round"/>' % INK2)
    sprout += ('<path d="M65,19.5Q70,11 78,12.5Q76.5,21 65,19.5Z" fill="url(#leaf)" stroke="%s" stroke-width="1.6" stroke-linejoin="round"/>' % INK2)
    sprout += '<path d="M66.5,18Q71,14.5 75,14M63,21.8Q58.5,20.5 55.5,18.6" fill="none" stroke="#3f7f2f" stroke-width="0.9" stroke-linecap="round"/>'
    g.append(('sprout', sprout))

    whites = ''
    for e in (EYE_L, EYE_R):
        whites += '<ellipse cx="%s" cy="%s" rx="6" ry="7" fill="#ffffff" stroke="%s" stroke-width="1.6"/>' % (n(e[0]), n(e[1]), INK2)
    g.append(('eyeWhites', whites))

    pupils = ''
    for e, dx in ((EYE_L, 0.4), (EYE_R, -0.4)):
        cx, cy = e[0] + dx, e[1] + 1.0
        pupils += '<circle cx="%s" cy="%s" r="3.8" fill="url(#pupil2)"/>' % (n(cx), n(cy))
        pupils += '<circle cx="%s" cy="%s" r="1.5" fill="#ffffff"/>' % (n(cx + 1.2), n(cy - 1.4))
        pupils += '<circle cx="%s" cy="%s" r="0.7" fill="#ffffff"/>' % (n(cx - 1.3), n(cy + 1.4))
    g.append(('eyes', pupils))

    closed = ''
    happy = ''
    for e in (EYE_L, EYE_R):
        x, y = e
        closed += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.2" stroke-linecap="round"/>' % (
            n(x - 5.5), n(y + 0.5), n(x), n(y + 5), n(x + 5.5), n(y + 0.5), INK2)
        happy += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.4" stroke-linecap="round"/>' % (
            n(x - 5.3), n(y + 2.5), n(x), n(y - 5), n(x + 5.3), n(y + 2.5), INK2)
    g.append(('eyesClosed', closed))
    g.append(('eyesHappy', happy))

    # round reading glasses
    glasses = ''
    for e in (EYE_L, EYE_R):
        glasses += '<circle cx="%s" cy="%s" r="8.6" fill="#d9f1ff" fill-opacity="0.16" stroke="#7b4a22" stroke-width="2"/>' % (n(e[0]), n(e[1]))
        glasses += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="#ffffff" stroke-opacity="0.75" stroke-width="1.3" stroke-linecap="round"/>' % (
            n(e[0] + 2.5), n(e[1] - 6.2), n(e[0] + 6), n(e[1] - 4.5), n(e[0] + 6.6), n(e[1] - 1))
    glasses += '<path d="M62,54Q64,51.5 66,54" fill="none" stroke="#7b4a22" stroke-width="2" stroke-linecap="round"/>'
    glasses += '<path d="M46,53.5L40.8,51.5M82,53.5L87.2,51.5" stroke="#7b4a22" stroke-width="1.8" stroke-linecap="round"/>'
    g.append(('glasses', glasses))

    def brow(cx, flip):
        return '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="%s" stroke-width="2.8" stroke-linecap="round"/>' % (
            n(cx - 5.5 * flip), n(43.5), n(cx), n(40.3), n(cx + 5.5 * flip), n(42.6), '#5a3a22')

    g.append(('browLeft', brow(EYE_L[0], 1)))
    g.append(('browRight', brow(EYE_R[0], -1)))

    MOUTH_RED, TONGUE = '#7a2a1c', '#f58d78'
    g.append(('mouthClosed',
              '<path d="M58.5,71Q61.3,74 64,71.6Q66.7,74 69.5,71" fill="none" stroke="%s" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>' % INK2))
    g.append(('mouthSmall',
              '<ellipse cx="64" cy="73" rx="3" ry="2.8" fill="%s" stroke="%s" stroke-width="1.6"/>'
              '<ellipse cx="64" cy="74.4" rx="1.7" ry="0.9" fill="%s"/>' % (MOUTH_RED, INK2, TONGUE)))
    g.append(('mouthOpen',
              '<path d="M58,70.5Q64,72.3 70,70.5Q69.5,79 64,79.3Q58.5,79 58,70.5Z" fill="%s" stroke="%s" stroke-width="1.8" stroke-linejoin="round"/>'
              '<ellipse cx="64" cy="76.6" rx="3.5" ry="1.8" fill="%s"/>' % (MOUTH_RED, INK2, TONGUE)))
    g.append(('mouthWide',
              '<path d="M55.5,69.5Q64,72.5 72.5,69.5Q71.5,80.5 64,80.5Q56.5,80.5 55.5,69.5Z" fill="%s" stroke="%s" stroke-width="1.9" stroke-linejoin="round"/>'
              '<path d="M57.5,70.6Q64,73 70.5,70.6L70.1,72.7Q64,74.7 57.9,72.7Z" fill="#ffffff"/>'
              '<ellipse cx="64" cy="77.6" rx="4.4" ry="2.1" fill="%s"/>' % (MOUTH_RED, INK2, TONGUE)))
    g.extend(viseme_mouths(64, 73.5, 0.8, MOUTH_RED, INK2, TONGUE))

    # a green book with a leaf on the cover, held open in front of the apron
    book = ('<path d="M44,80L64,83L84,80L84,98L64,101L44,98Z" fill="url(#cover)" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
            '<path d="M46.5,80Q55,78.2 63,82L63,98Q55,95 46.5,96.2Z" fill="#fffaf0" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>'
            '<path d="M81.5,80Q73,78.2 65,82L65,98Q73,95 81.5,96.2Z" fill="#fffaf0" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>'
            % (INK2, INK2, INK2))
    for i in range(4):
        y = 84 + i * 3
        book += '<path d="M49,%sQ55.5,%s 60.5,%s" fill="none" stroke="#b5a88e" stroke-width="1" stroke-linecap="round"/>' % (n(y), n(y - 1.1), n(y + 1.2))
    book += '<path d="M68,90Q72,83 79,84.5Q76.5,92 68,90Z" fill="#86cc5c" stroke="#3f7a31" stroke-width="0.9"/>'
    g.append(('book', book))

    # a magnifying glass held up to the right eye
    LENS = (EYE_R[0] + 1.5, EYE_R[1] + 0.5)
    lens = '<path d="M%s,%sL92,77" stroke="%s" stroke-width="6" stroke-linecap="round"/>' % (n(LENS[0] + 8), n(LENS[1] + 8), INK2)
    lens += '<path d="M%s,%sL92,77" stroke="#b5673a" stroke-width="3.2" stroke-linecap="round"/>' % (n(LENS[0] + 9), n(LENS[1] + 9))
    lens += '<circle cx="%s" cy="%s" r="11" fill="url(#glass)" fill-opacity="0.35" stroke="%s" stroke-width="3.6"/>' % (n(LENS[0]), n(LENS[1]), INK2)
    lens += '<circle cx="%s" cy="%s" r="11" fill="none" stroke="#e7b84a" stroke-width="1.8"/>' % (n(LENS[0]), n(LENS[1]))
    lens += '<path d="M%s,%sQ%s,%s %s,%s" fill="none" stroke="#ffffff" stroke-opacity="0.85" stroke-width="1.6" stroke-linecap="round"/>' % (
        n(LENS[0] - 6.5), n(LENS[1] - 2), n(LENS[0] - 5.5), n(LENS[1] - 6), n(LENS[0] - 1.5), n(LENS[1] - 7))
    g.append(('lens', lens))

    def paw(c, thumb_dir):
        x, y = c
        t = (x + 4.2 * thumb_dir, y - 3)
        return ('<circle cx="%s" cy="%s" r="2.7" fill="url(#paw)" stroke="%s" stroke-width="1.6"/>'
                '<circle cx="%s" cy="%s" r="5.8" fill="url(#paw)" stroke="%s" stroke-width="1.9"/>'
                % (n(t[0]), n(t[1]), INK2, n(x), n(y), INK2))

    g.append(('handLeft', paw(HAND_L, 1)))
    g.append(('handRight', paw(HAND_R, -1)))

    arm_dir = math.degrees(math.atan2(HAND_R[1] - SHOULDER_R[1], HAND_R[0] - SHOULDER_R[0]))
    f = placed(arm_dir + 90, HAND_R)
    finger = [('M', [(-2, -3)]), ('L', [(-2, -10.5)]), ('Q', [(-2, -13), (0, -13)]),
              ('Q', [(2, -13), (2, -10.5)]), ('L', [(2, -3)]), ('Z', [])]
    point = '<path d="%s" fill="url(#paw)" stroke="%s" stroke-width="1.6" stroke-linejoin="round"/>' % (path(finger, f), INK2)
    point += '<circle cx="%s" cy="%s" r="5.8" fill="url(#paw)" stroke="%s" stroke-width="1.9"/>' % (n(HAND_R[0]), n(HAND_R[1]), INK2)
    k = f((-3.8, 1.4))
    point += '<circle cx="%s" cy="%s" r="2.4" fill="url(#paw)" stroke="%s" stroke-width="1.4"/>' % (n(k[0]), n(k[1]), INK2)
    g.append(('handRightPoint', point))

    B = (105.0, 22.0)
    bulb = ''
    for a in (-75, -38, 38, 75):
        p1 = rot_pt((B[0], B[1] - 10.5), a, B)
        p2 = rot_pt((B[0], B[1] - 14), a, B)
        bulb += '<path d="M%s,%sL%s,%s" stroke="#ffb43a" stroke-width="2" stroke-linecap="round"/>' % (n(p1[0]), n(p1[1]), n(p2[0]), n(p2[1]))
    bulb += ('<path d="M101.2,28Q98,25.3 98,21.5Q98,14.7 105,14.7Q112,14.7 112,21.5Q112,25.3 108.8,28Z" '
             'fill="url(#bulb2)" stroke="%s" stroke-width="1.8" stroke-linejoin="round"/>' % INK2)
    bulb += '<rect x="101.3" y="27.8" width="7.4" height="5.2" rx="1.2" fill="#a9b39a" stroke="%s" stroke-width="1.5"/>' % INK2
    bulb += '<path d="M101.8,30.4L108.2,30.4" stroke="%s" stroke-width="0.9"/>' % INK2
    bulb += '<path d="M102.3,20Q102.5,17.5 104.6,17.1" fill="none" stroke="#ffffff" stroke-width="1.5" stroke-linecap="round"/>'
    g.append(('bulb', bulb))

    # a question mark drawn as a curl, for Confused
    q = 'M19,22Q19,14 26,14Q33,14 33,20.5Q33,25 28.5,27Q26.5,28 26.5,31'
    question = '<path d="%s" fill="none" stroke="%s" stroke-width="6" stroke-linecap="round" stroke-linejoin="round"/>' % (q, INK2)
    question += '<path d="%s" fill="none" stroke="#ff9d5c" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"/>' % q
    question += '<circle cx="26.5" cy="37" r="2.9" fill="#ff9d5c" stroke="%s" stroke-width="1.6"/>' % INK2
    g.append(('question', question))

    art = svg_doc(W, H, defs, g)
    part_ids = [gid for gid, _ in g]

    nodes = {
        'torso': (None, FEET), 'HEAD': ('torso', NECK),
        'shadow': (None, (64, 120.5)), 'legLeft': (None, HIP_L), 'legRight': (None, HIP_R),
        'bulb': (None, (105, 32)), 'question': (None, (26, 38)),
        'body': ('torso', BC), 'armLeft': ('torso', SHOULDER_L), 'armRight': ('torso', SHOULDER_R),
        'handLeft': ('armLeft', HAND_L), 'handRight': ('armRight', HAND_R), 'handRightPoint': ('armRight', HAND_R),
        'book': ('torso', (64, 91)),
        'spines': ('HEAD', HC), 'earLeft': ('HEAD', EAR_L), 'earRight': ('HEAD', EAR_R), 'head': ('HEAD', HC),
        'sprout': ('HEAD', SPROUT), 'eyeWhites': ('HEAD', HC), 'eyes': ('HEAD', HC),
        'eyesClosed': ('HEAD', HC), 'eyesHappy': ('HEAD', HC), 'glasses': ('HEAD', (64, 54)),
        'browLeft': ('HEAD', (EYE_L[0], 42)), 'browRight': ('HEAD', (EYE_R[0], 42)),
        'mouthClosed': ('HEAD', (64, 73)), 'mouthSmall': ('HEAD', (64, 73)),
        'mouthOpen': ('HEAD', (64, 73)), 'mouthWide': ('HEAD', (64, 73)),
        **{m: ('HEAD', (64, 73)) for m in VISEME_PARTS},
        'lens': ('HEAD', LENS),
    }
    pivots = {p: tuple(float(v) for v in nodes[p][1]) for p in part_ids}
    hidden = ['mouthSmall', 'mouthOpen', 'mouthWide', 'eyesClosed', 'eyesHappy', 'book', 'lens',
              'handRightPoint', 'bulb', 'question'] + VISEME_PARTS
    mouths = {'closed': 'mouthClosed', 'small': 'mouthSmall', 'open': 'mouthOpen', 'wide': 'mouthWide'}
    rig = Rig(nodes, part_ids, pivots, hidden, mouths)

    UP_R = aim(SHOULDER_R, HAND_R, (SHOULDER_R[0] + 7, SHOULDER_R[1] - 30))
    UP_L = aim(SHOULDER_L, HAND_L, (SHOULDER_L[0] - 7, SHOULDER_L[1] - 30))

    def P(lean=None, torso=None, head=None, nod=None, look=None, brows=None, browL=None, browR=None,
          arms=None, armL=None, armR=None, legs=None, ears=None, sprout=None, spines=None, glasses=None,
          eyes=None, mouth=None, whole=None, sound=None, show=None, hide=None, props=None, point=False, shadow=None):
        t = {}
        tor = dict(torso or {})
        if lean:
            tor['rot'] = lean
        if tor:
            t['torso'] = tor
        hd = dict(head or {})
        if nod:
            hd['rot'] = nod
        if hd:
            t['HEAD'] = hd
        if look:
            t['eyes'] = {'dx': look[0], 'dy': look[1]}
        if brows is not None:
            browL = browL or {'dy': brows}
            browR = browR or {'dy': brows}
        if browL is not None:
            t['browLeft'] = browL
        if browR is not None:
            t['browRight'] = browR
        if arms:
            armL, armR = arms
        if armL is not None:
            t['armLeft'] = {'rot': armL}
        if armR is not None:
            t['armRight'] = {'rot': armR}
        if legs:
            t['legLeft'] = legs[0] if isinstance(legs[0], dict) else {'rot': legs[0]}
            t['legRight'] = legs[1] if isinstance(legs[1], dict) else {'rot': legs[1]}
        if ears:
            t['earLeft'] = {'rot': ears[0]}
            t['earRight'] = {'rot': ears[1]}
        if sprout:
            t['sprout'] = sprout if isinstance(sprout, dict) else {'rot': sprout}
        if spines:
            t['spines'] = {'sc': spines}
        if glasses:
            t['glasses'] = glasses
        if shadow:
            t['shadow'] = {'sc': shadow}
        sh = {}
        hdn = list(hide or [])
        if eyes == 'closed':
            sh['eyesClosed'] = True
            hdn += ['eyes', 'eyeWhites']
        elif eyes == 'happy':
            sh['eyesHappy'] = True
            hdn += ['eyes', 'eyeWhites']
        for name, (sc, op) in (props or {}).items():
            sh[name] = op
            t[name] = dict(t.get(name, {}), sc=sc)
        if point:
            sh['handRightPoint'] = True
            hdn.append('handRight')
        p = {'t': t, 'show': sh, 'hide': hdn}
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
        (250, P(whole={'scale': 1.05, 'dy': -2.5}, spines=1.08, sprout={'sc': 1.1}, brows=-2, mouth='small', arms=(10, -10))),
        (150, P(whole={'scale': 0.97, 'dy': 1.5}, spines=0.98, sprout=-12, legs=(4, -4), shadow=1.05)),
        (120, P(whole={'scale': 1.01, 'dy': -0.5}, sprout=6, brows=-1)),
        (100, REST),
    ]

    # curls up into a spiny ball and is gone
    A['Hiding'] = [
        (140, P(head={'dy': 3}, brows=1, eyes='closed', arms=(-25, 25), spines=1.06, sound='whoosh')),
        (200, P(whole={'scale': 0.6, 'dy': 20, 'opacity': 0.75}, head={'dy': 8}, eyes='closed', arms=(-40, 40),
                spines=1.15, sprout=-20)),
        (160, P(whole={'scale': 0.0, 'dy': 44, 'opacity': 0}, head={'dy': 10}, eyes='closed', spines=1.2)),
    ]

    A['Blink'] = [(70, P(eyes='closed')), (90, REST)]

    clap = aim(SHOULDER_L, HAND_L, (60, 90)), aim(SHOULDER_R, HAND_R, (68, 90))
    open_ = aim(SHOULDER_L, HAND_L, (40, 84)), aim(SHOULDER_R, HAND_R, (88, 84))
    A['Pleased'] = [
        (150, P(torso={'dy': 2}, brows=-1, mouth='wide', eyes='happy', arms=open_)),
        (120, P(brows=-2.5, mouth='wide', eyes='happy', arms=clap, sprout=8)),
        (120, P(brows=-2.5, mouth='wide', eyes='happy', arms=open_, sprout=-6)),
        (120, P(brows=-2.5, mouth='wide', eyes='happy', arms=clap, sprout=8)),
        (170, P(whole={'dy': -6}, brows=-3, mouth='wide', eyes='happy', arms=(UP_L * 0.5, UP_R * 0.5),
                legs=(8, -8), sprout=-10, spines=1.05, shadow=0.82)),
        (150, P(whole={'dy': 1}, torso={'dy': 1.5}, brows=-2, mouth='wide', eyes='happy', arms=(12, -12), sprout=6, shadow=1.04)),
        (380, P(nod=4, brows=-1.5, mouth='wide', eyes='happy', arms=(6, -6), sprout=-3)),
        (220, REST),
    ]

    lens_hand = aim(SHOULDER_R, HAND_R, (91, 78))
    lens_on = {'lens': (1.0, 1.0)}
    A['Search'] = [
        (0, P(props={'lens': (0.4, 0.0)})),
        (240, P(armR=lens_hand, point=False, props=lens_on, brows=-1.5, look=(0.5, 0))),
        (300, P(lean=-6, armR=lens_hand, props=lens_on, brows=-2.5, browR={'dy': -3.5}, look=(-2.4, 0.3), sprout=-14, mouth='small')),
        (260, P(lean=-7, armR=lens_hand, props=lens_on, brows=-2.5, browR={'dy': -3.5}, look=(-2.4, 1.5), sprout=-10, mouth='small')),
        (340, P(lean=6, armR=lens_hand, props=lens_on, brows=-2.5, browR={'dy': -3.5}, look=(2.4, 0.3), sprout=14, mouth='small')),
        (260, P(lean=7, armR=lens_hand, props=lens_on, brows=-2.5, browR={'dy': -3.5}, look=(2.4, 1.5), sprout=10, mouth='small')),
        (240, P(armR=lens_hand, props=lens_on, brows=-1, look=(0, 0), sprout=-4)),
        (200, P(armR=lens_hand * 0.4, props={'lens': (0.4, 0.0)})),
        (0, P(hide=['lens'])),
        (120, REST),
    ]

    explain = UP_L * 0.62
    A['Explain'] = [
        (120, P(nod=-1.5, armL=-8, brows=0.5, look=(-0.5, 0.3))),
        (220, P(nod=3, lean=1, armL=explain, armR=4, brows=-2.2, look=(-1.8, -0.3), sprout=4)),
        (160, P(nod=3.5, lean=1, armL=explain + 6, armR=4, brows=-2.5, look=(-1.2, -0.3), sprout=2)),
        (240, P(nod=2.5, lean=1, armL=explain - 4, armR=3, brows=-2, look=(0, 0))),
        (160, P(nod=2.5, armL=explain, browR={'dy': -2.6}, browL={'dy': -1.2}, look=(0, 0))),
        (220, REST),
    ]

    read = aim(SHOULDER_L, HAND_L, (48, 93)), aim(SHOULDER_R, HAND_R, (80, 93))
    book_on = {'book': (1.0, 1.0)}
    A['Read'] = [
        (0, P(props={'book': (0.3, 0.0)})),
        (220, P(props=book_on, arms=read, look=(0, 2), brows=1, head={'dy': 1})),
        (140, P(props=book_on, arms=read, look=(0, 2), brows=1, head={'dy': 1}, glasses={'dy': 1.5})),
        (220, P(props=book_on, arms=read, look=(-1.8, 2.4), brows=1, head={'dy': 1.5}, nod=-2, glasses={'dy': 1.5})),
        (240, P(props=book_on, arms=read, look=(1.8, 2.4), brows=0.6, head={'dy': 1.5}, nod=2, glasses={'dy': 1.5})),
        (220, P(props=book_on, arms=read, look=(-1.8, 2.8), brows=1, head={'dy': 2}, nod=-2, glasses={'dy': 1.5})),
        (240, P(props=book_on, arms=read, look=(1.8, 2.8), brows=0.6, head={'dy': 2}, nod=2, glasses={'dy': 1.5})),
        (150, P(props=book_on, arms=read, look=(0, -0.5), brows=-2.2, head={'dy': 0.5}, glasses={'dy': 1.5}, sprout=5)),
        (150, P(props={'book': (0.3, 0.0)}, arms=(6, -6))),
        (0, P(hide=['book'])),
        (120, REST),
    ]

    # paws up in front, waving "no, no" while the head turns away
    def paws(dx):
        return (aim(SHOULDER_L, HAND_L, (43 + dx, 86)), aim(SHOULDER_R, HAND_R, (85 + dx, 86)))

    frown = dict(browL={'rot': 14, 'dy': 1.4}, browR={'rot': -14, 'dy': 1.4})
    A['Decline'] = [
        (200, P(arms=paws(0), torso={'dy': 1}, mouth='small', **frown)),
        (220, P(arms=paws(-2), nod=-8, look=(-2, -1), eyes='closed', sprout=-10, **frown)),
        (200, P(arms=paws(2), nod=-9, eyes='closed', sprout=-8, **frown)),
        (150, P(arms=paws(-5), nod=6, look=(1.5, 0), mouth='small', sprout=8, **frown)),
        (150, P(arms=paws(5), nod=-6, look=(-1.5, 0), mouth='small', sprout=-8, **frown)),
        (150, P(arms=paws(-5), nod=5, look=(1.5, 0), mouth='small', sprout=6, **frown)),
        (150, P(arms=paws(4), nod=-3, mouth='small', **frown)),
        (240, P(arms=tuple(a * 0.3 for a in paws(0)), **frown)),
        (160, REST),
    ]

    hi, lo = UP_L + 6, UP_L - 28
    A['Greet'] = [
        (200, P(nod=-2, armL=lo * 0.45, brows=-1, mouth='small', look=(-0.5, -0.3))),
        (220, P(nod=3, armL=lo, brows=-3, mouth='wide', look=(-0.5, -0.3), ears=(-8, 8), sprout=6, sound='hello')),
        (170, P(nod=4, armL=hi, brows=-3, mouth='wide', ears=(6, -6), sprout=-4)),
        (170, P(nod=3, armL=lo, brows=-3, mouth='wide', ears=(-6, 6), sprout=5)),
        (170, P(nod=4, armL=hi, brows=-3, mouth='wide', sprout=-3)),
        (170, P(nod=3, armL=lo, brows=-3, mouth='wide', sprout=3)),
        (170, P(nod=4, armL=hi, brows=-2.5, mouth='wide')),
        (240, P(nod=1, armL=lo * 0.4, brows=-1)),
        (160, REST),
    ]

    scratch = aim(SHOULDER_L, HAND_L, (42, 46))
    puzzled = dict(browL={'dy': -3.2, 'rot': -8}, browR={'dy': 1.5, 'rot': -10})
    q_on = {'question': (1.0, 1.0)}
    A['Confused'] = [
        (0, P(props={'question': (0.2, 0.0)})),
        (220, P(nod=5, look=(-1.5, -1.5), props={'question': (1.1, 1.0)}, **puzzled)),
        (300, P(nod=10, look=(-2.2, -2.2), armL=scratch, glasses={'rot': -6}, sprout={'rot': 35, 'sc': 0.95},
                mouth='small', props=q_on, **puzzled)),
        (160, P(nod=10, look=(-2.2, -2.2), armL=scratch - 8, glasses={'rot': -6}, sprout=40, mouth='small', props=q_on, **puzzled)),
        (160, P(nod=10, look=(-2.2, -2.2), armL=scratch, glasses={'rot': -6}, sprout=35, mouth='small', props=q_on, **puzzled)),
        (160, P(nod=10, look=(-2.2, -2.2), armL=scratch - 8, glasses={'rot': -6}, sprout=40, mouth='small', props=q_on, **puzzled)),
        (320, P(nod=7, look=(1, -1.5), armL=scratch * 0.5, glasses={'rot': -6}, sprout=30, props=q_on,
                browL={'dy': -2.5}, browR={'dy': 1, 'rot': -6})),
        (200, P(nod=3, glasses={'rot': -3}, props={'question': (0.3, 0.0)})),
        (0, P(hide=['question'])),
        (160, REST),
    ]

    A['Suggest'] = [
        (140, P(torso={'dy': 1.5}, armR=UP_R * 0.3, brows=0.5)),
        (0, P(torso={'dy': 1.5}, armR=UP_R * 0.3, brows=0.5, props={'bulb': (0.2, 0.0)})),
        (220, P(head={'dy': -2}, armR=UP_R, point=True, brows=-3.2, mouth='open', look=(1.5, -2),
                sprout={'sc': 1.15}, props={'bulb': (1.12, 1.0)}, sound='idea')),
        (130, P(armR=UP_R, point=True, brows=-3, mouth='open', look=(1.5, -2), sprout={'sc': 1.1}, props={'bulb': (0.95, 1.0)})),
        (500, P(armR=UP_R - 4, point=True, brows=-2.8, mouth='wide', look=(0.5, -1), nod=-2, sprout=-4, props={'bulb': (1.0, 1.0)})),
        (300, P(armR=UP_R - 2, point=True, brows=-2, look=(0, 0), nod=-1, props={'bulb': (1.0, 1.0)})),
        (200, P(armR=UP_R * 0.4, props={'bulb': (0.2, 0.0)})),
        (0, P(hide=['bulb'])),
        (120, REST),
    ]

    alarm = dict(brows=-4, look=(0, -0.8), mouth='open')
    up = (UP_L * 0.75, UP_R * 0.75)
    A['Alert'] = [
        (120, P(torso={'dy': 3}, brows=1.5, arms=(6, -6), legs=(4, -4), shadow=1.05, sound='alert')),
        (150, P(whole={'dy': -7}, arms=up, legs=(12, -12), ears=(-16, 16), spines=1.12, sprout=-10, shadow=0.78, **alarm)),
        (60, P(whole={'dy': -7}, arms=up, legs=(12, -12), ears=(16, -16), spines=1.12, sprout=10, shadow=0.78, **alarm)),
        (60, P(whole={'dy': -5}, arms=up, legs=(8, -8), ears=(-16, 16), spines=1.1, sprout=-12, shadow=0.84, **alarm)),
        (120, P(whole={'dy': 1}, torso={'dy': 1}, arms=up, ears=(16, -16), spines=1.1, sprout=10, shadow=1.05, **alarm)),
        (60, P(nod=-3, arms=up, ears=(-16, 16), spines=1.06, sprout=-10, **alarm)),
        (60, P(nod=3, arms=up, ears=(16, -16), spines=1.1, sprout=10, **alarm)),
        (60, P(nod=-3, arms=up, ears=(-16, 16), spines=1.06, sprout=-8, **alarm)),
        (60, P(nod=3, arms=up, ears=(16, -16), spines=1.1, sprout=8, **alarm)),
        (60, P(nod=-2, arms=up, ears=(-12, 12), spines=1.06, sprout=-6, **alarm)),
        (60, P(nod=2, arms=up, ears=(12, -12), spines=1.08, sprout=5, **alarm)),
        (60, P(arms=(UP_L * 0.6, UP_R * 0.6), ears=(-8, 8), spines=1.04, **alarm)),
        (60, P(arms=(UP_L * 0.5, UP_R * 0.5), ears=(6, -6), brows=-3, look=(0, -0.5))),
        (60, P(arms=(UP_L * 0.4, UP_R * 0.4), ears=(-3, 3), brows=-3)),
        (200, P(arms=(10, -10), brows=-2)),
        (200, REST),
    ]

    def walk(s):
        lead, trail = (0, 1) if s < 0 else (1, 0)

        def legs(first, second):
            out = [None, None]
            out[lead] = first
            out[trail] = second
            return tuple(out)

        frames = []
        for legpose, dy, arm, sh in [
                (legs({'rot': -16 * s, 'dy': -3}, {'rot': 4 * s}), 1.5, 10, 1.02),
                (legs({}, {}), -2, 0, 0.95),
                (legs({'rot': -4 * s}, {'rot': -10 * s, 'dy': -3}), 1.5, -10, 1.02)]:
            frames.append((125, P(lean=3 * s * (1 if dy > 0 else 0.6), torso={'dy': dy}, look=(2.2 * s, 0.3),
                                  legs=legpose, arms=(arm, arm), sprout=-6 * s if dy > 0 else 3 * s,
                                  brows=-0.5, shadow=sh)))
        frames.append((125, REST))
        return frames

    A['MoveLeft'] = walk(-1)
    A['MoveRight'] = walk(1)

    A['Idle'] = [
        (300, P(look=(2, 0.3))),
        (700, P(look=(2, 0.3), sprout=5)),
        (70, P(look=(2, 0.3), eyes='closed', sprout=5)),
        (90, P(look=(0, 0))),
        (300, P(look=(-2, -0.5), browR={'dy': -1.5}, glasses={'dy': -1})),
        (800, P(look=(-2, -0.5), browR={'dy': -1.5})),
        (300, P(ears=(-6, 6))),
        (300, P(ears=(3, -3), sprout=-4)),
        (200, REST),
    ]

    sounds = {
        # a bright rising arpeggio, then a little ring of the top two notes
        'alert': notes((hz('A5'), 150, 0.5), (hz('C#6'), 150, 0.52), (hz('E6'), 150, 0.55),
                       (hz('A6'), 300, 0.6), (hz('E6'), 110, 0.45), (hz('A6'), 340, 0.55)),
        'pop': notes((hz('E5'), 60, 0.35), (hz('B5'), 120, 0.45)),
        'whoosh': notes((hz('E4'), 70, 0.3), (hz('B3'), 80, 0.25), (hz('E3'), 120, 0.2)),
        'hello': notes((hz('A5'), 120, 0.45), (hz('D6'), 120, 0.45), (hz('F#6'), 240, 0.45)),
        'idea': notes((hz('A6'), 90, 0.4), (hz('D7'), 300, 0.45)),
    }

    return {
        'format': 'quillory-character/1',
        'name': 'Bramble',
        'description': 'A small hedgehog in round glasses and a gardening apron who looks after the garden and the books alike.',
        'frame': {'width': W, 'height': H},
        # A bright woman's voice, as the formant one was.
        'voice': {'flite': 'slt', 'espeak': 'en+f3', 'rate': 160, 'pitch': 62},
        'art': art,
        'pivots': {p: [round(v, 2) for v in pivots[p]] for p in part_ids},
        'mouths': mouths,
        'visemes': VISEMES,
        'hidden': hidden,
        'sounds': sounds,
        'animations': {k: rig.animation(v) for k, v in A.items()},
    }


# ================================================================= output


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'characters')
    if len(sys.argv) > 1:
        root = sys.argv[1]
    for ch in (tockel(), bramble()):
        out = os.path.join(root, ch['name'] + '.acs')
        with open(out, 'w', encoding='utf-8') as f:
            json.dump(ch, f, indent=1, ensure_ascii=False)
            f.write('\n')
        print('wrote', out)


if __name__ == '__main__':
    main()
