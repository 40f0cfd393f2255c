#!/usr/bin/env python3
# Draws resources/mervmodul.ico, the programs' icon (also the MSI's entry in
# Programs and Features): a blue square with a white "M" at 16, 32 and 48
# pixels, 32-bit with alpha. Run from the top of the repository.
import struct

M = ["1.....1",
     "11...11",
     "1.1.1.1",
     "1..1..1",
     "1.....1",
     "1.....1",
     "1.....1"]
def image(size):
    blue=(0x9c,0x4a,0x1f,255)  # BGRA
    white=(255,255,255,255)
    clear=(0,0,0,0)
    px=[[clear]*size for _ in range(size)]
    r=size//8
    for y in range(size):
        for x in range(size):
            # rounded corners
            cx=min(x,size-1-x); cy=min(y,size-1-y)
            if cx<r and cy<r and (r-cx-0.5)**2+(r-cy-0.5)**2>r*r: continue
            px[y][x]=blue
    cell=size//10
    ox=(size-7*cell)//2; oy=(size-7*cell)//2
    for j,row in enumerate(M):
        for i,c in enumerate(row):
            if c=='1':
                for yy in range(cell):
                    for xx in range(cell):
                        px[oy+j*cell+yy][ox+i*cell+xx]=white
    header=struct.pack('<IiiHHIIiiII',40,size,size*2,1,32,0,size*size*4,0,0,0,0)
    data=b''.join(bytes(px[y][x]) for y in range(size-1,-1,-1) for x in range(size))
    mask_row=((size+31)//32)*4
    mask=b'\0'*(mask_row*size)
    return header+data+mask
imgs=[(16,image(16)),(32,image(32)),(48,image(48))]
out=struct.pack('<HHH',0,1,len(imgs))
offset=6+16*len(imgs)
for s,d in imgs:
    out+=struct.pack('<BBBBHHII',s,s,0,0,1,32,len(d),offset); offset+=len(d)
for s,d in imgs: out+=d
open('resources/mervmodul.ico','wb').write(out)
