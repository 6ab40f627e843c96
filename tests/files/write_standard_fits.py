#!/usr/bin/python3
"""Writes FITS files with astropy, independently of Nyxel, for the standard FITS reader test.

usage: write_standard_fits.py OUTDIR
Each file NAME.fits holds values made by the formulas below from the stored row k (the first row in
the file is k = 0) and the column c; the test computes the same values.
"""
import os
import sys

from astropy.io import fits
import numpy as np


def ramp(rows, columns, modulus):
    k, c = np.indices((rows, columns))
    return (k * 517 + c * 131) % modulus


def write(outdir, name, data, **cards):
    hdu = fits.PrimaryHDU(data)
    for key, value in cards.items():
        hdu.header[key.replace("_", "-")] = value
    hdu.header["OBJECT"] = "M42 'Orion'"
    hdu.header["OBSERVER"] = "A. Observer"
    hdu.header["TELESCOP"] = "LX200 10in"
    hdu.header["INSTRUME"] = "Other camera"
    hdu.header["DATE-OBS"] = "2026-12-09T11:38:56.25"
    hdu.header["EXPTIME"] = 2.5
    hdu.header.add_history("Dark Frame Subtracted")
    hdu.header.add_history("stacked in another program")
    hdu.writeto(os.path.join(outdir, name + ".fits"), overwrite=True)


def main():
    out = sys.argv[1]
    write(out, "u16", ramp(290, 510, 65536).astype(np.uint16))
    write(out, "i16", (ramp(290, 510, 65536) - 32768).astype(np.int16))
    write(out, "u8", ((np.indices((290, 510))[0] + np.indices((290, 510))[1]) % 256).astype(np.uint8))
    write(out, "i32", ramp(290, 510, 65536).astype(np.int32))
    write(out, "i32big", (ramp(290, 510, 65536) * 1000).astype(np.int32))
    write(out, "f32norm", (ramp(290, 510, 65536) / 65535.0).astype(np.float32))
    write(out, "f32adu", (ramp(290, 510, 60000) + 0.25).astype(np.float32))
    write(out, "topdown", ramp(290, 510, 65536).astype(np.uint16), ROWORDER="TOP-DOWN")
    write(out, "w512", ramp(290, 512, 65536).astype(np.uint16))
    cube = np.stack([ramp(290, 510, 256), (ramp(290, 510, 256) + 85) % 256, (ramp(290, 510, 256) * 3) % 256])
    write(out, "cube", cube.astype(np.uint8))
    # Sizes and kinds the program does not take.
    write(out, "640x480", np.zeros((480, 640), dtype=np.uint16))
    write(out, "cube16", np.zeros((3, 290, 510), dtype=np.uint16))
    write(out, "f64", np.zeros((290, 510), dtype=np.float64))


if __name__ == "__main__":
    main()
