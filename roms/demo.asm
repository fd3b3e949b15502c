; demo.asm - the hummbox demo sound board program
;
; A sound board in the usual arcade style: the reset routine plays a start-up chime and
; then idles with interrupts unmasked; the game CPU writes a sound command to the PIA's
; port B and pulls the interrupt line. The interrupt routine reads the command, plays the
; sound to the end and returns.
;
; Clock: at the default 19 cycles per sample the processor runs 912,000 cycles a second
; (48,000 samples * 19), so 912 cycles are one millisecond. Every pitch below is worked
; out from exact cycle counts at that rate.
;
; Commands (byte at $0402 when the interrupt is raised):
;   1  tone       steady 1,000 Hz square, 0.5 s
;   2  siren      two rising sweeps 466 Hz -> 3.2 kHz, 1.04 s
;   3  noise      white noise burst, 0.3 s
;   4  explosion  rumbling noise with a linear decay, 1.3 s
;   5  laser      four falling zaps 6.9 kHz -> 1.15 kHz, 0.24 s
;   6  melody     eight notes from a note table, 1.35 s
;   7  sawtooth   237.5 Hz ramp, 0.5 s
;   8  triangle   554 Hz, 0.5 s
;   9  alarm      two-tone 784 / 661 Hz, 1.0 s
;  10  chime      the start-up chime again, 0.41 s
; 0 and 11..255 are ignored. After every sound the DAC rests at $7F (0.0 output).
;
; Only instructions this board's processor executes are used. Note that here asl, lsr and
; neg leave the carry alone and clr touches only Z: only add/adc/sub/sbc/cmp/ror/com and
; clc change C, so every carry test below follows one of those.

        cpu     6800
        output  scode

dac     = $0400         ; PIA port A: the 8-bit DAC
piab    = $0402         ; PIA port B data: the sound command latch

idle    = $7F           ; DAC level between sounds: 0.0 output
lo      = $40           ; square wave levels: $40 <-> $C0 (eor $80)

; RAM (direct page); the stack grows down from $7F
period  = $00           ; half-period delay count used by square
nptr    = $01           ; 2 bytes: note table pointer
seed    = $03           ; 2 bytes: noise shift register (never 0)
amp     = $05           ; explosion amplitude
tick    = $06           ; explosion samples left at this amplitude
count   = $07           ; repeats left in a sweep

; A note: delay count P, then the number of half periods that last MS milliseconds.
; A half period of square takes 18 + 6*P cycles, so the pitch is 912000 / (36 + 12*P) Hz.
note    macro
        db      \1
        dw      0+(\2*912)/(18+6*\1)  ; crasm groups a*b/c as a*(b/c)
        endm

; Delay counts of the notes used (pitch at 19 cycles per sample)
C5      = 142           ; 524.1 Hz
E5      = 112           ; 660.9 Hz
F5      = 106           ; 697.2 Hz
G5      = 94            ; 783.5 Hz
A5      = 83            ; 883.7 Hz
C6      = 70            ; 1041.1 Hz
E6      = 55            ; 1310.3 Hz
G6      = 45            ; 1583.3 Hz

        * = $F800
        code

; ---- Reset ------------------------------------------------------------------------
reset   lds     #$007F          ; stack at the top of the direct page
        ldx     #$ACE1          ; any non-zero seed for the noise register
        stx     seed
        ldx     #chime
        jsr     playtab         ; start-up chime, 0.41 s, interrupts still masked
        ldaa    #idle
        staa    dac
        cli                     ; ready for commands
wait    bra     wait            ; 4 cycles a turn until the interrupt comes

; ---- Interrupt: play the command at piab ------------------------------------------
irq     ldab    piab            ; the command
        beq     irqend          ; 0: nothing
        cmpb    #ncmd
        bhi     irqend          ; above the last command: nothing
        ldx     #cmdtab-2
irq1    inx                     ; X = cmdtab + 2*(command-1)
        inx
        decb
        bne     irq1
        ldx     0,x             ; the routine's address
        jsr     0,x
irqend  ldaa    #idle           ; rest level between sounds
        staa    dac
        rti

cmdtab  dw      tone, siren, noise, explode, laser, melody, saw, tri, alarm, rechime
ncmd    = (*-cmdtab)/2

; ---- square: X half periods of a square wave with delay count period ------------------
; Half period: eora 2 + staa 5 + ldab 3 + (decb 2 + bne 4) * P + dex 4 + bne 4
;            = 18 + 6*P cycles; pitch 912000 / (36 + 12*P) Hz. P = 73 gives 1,000 Hz.
; Starts at $C0 and toggles; an even count ends back at $40.
square  ldaa    #lo             ; 2
sq1     eora    #$80            ; 2  $40 <-> $C0
        staa    dac             ; 5
        ldab    period          ; 3
sq2     decb                    ; 2
        bne     sq2             ; 4  6 cycles per count
        dex                     ; 4
        bne     sq1             ; 4
        rts

; ---- playtab: play the note table at X (note entries, then a 0 byte) -------------------
; About 40 cycles between notes, under 0.05 ms.
playtab stx     nptr
pt1     ldx     nptr
        ldaa    0,x             ; delay count, 0 ends the table
        beq     pt2
        staa    period
        ldx     1,x             ; half periods
        jsr     square
        ldx     nptr
        inx
        inx
        inx
        stx     nptr
        bra     pt1
pt2     rts

; ---- rnd: one step of the 16-bit noise register ---------------------------------------
; Galois shift register, taps $B400 (x^16 + x^14 + x^13 + x^11 + 1): period 65,535.
; Returns C = the bit shifted out. 29 cycles (C clear) or 31 (C set), jsr not counted.
rnd     ldaa    seed            ; 3
        ldab    seed+1          ; 3
        clc                     ; 2  ror brings C in at the top
        rora                    ; 2
        rorb                    ; 2  C = the bit shifted out
        bcc     rn1             ; 4
        eora    #$B4            ; 2  feed back
rn1     staa    seed            ; 4
        stab    seed+1          ; 4  (loads and stores keep C)
        rts                     ; 5

; ---- 1: tone ---------------------------------------------------------------------------
; P = 73: half period 456 cycles, 1,000.0 Hz; 1,000 half periods = 456,000 cycles, 0.5 s.
tone    ldaa    #73
        staa    period
        ldx     #1000
        jmp     square

; ---- 2: siren --------------------------------------------------------------------------
; P from 160 down to 21, three periods each: 466 Hz up to 3,167 Hz. Each step costs
; 6*(18 + 6*P) + 34 cycles; a sweep is 476,000 cycles (0.52 s), two sweeps 1.04 s.
siren   ldaa    #2
        staa    count
sr1     ldaa    #160
        staa    period
sr2     ldx     #6              ; 3
        jsr     square          ; 9 + 6*(18 + 6*P) + 5 (rts)
        dec     period          ; 6
        ldaa    period          ; 3
        cmpa    #20             ; 2
        bne     sr2             ; 4
        dec     count
        bne     sr1
        rts

; ---- 3: noise --------------------------------------------------------------------------
; One noise bit per turn, output at $40 or $C0: jsr rnd 38/40 + ldab 2 + bcc 4
; (+ ldab 2) + stab 5 + dex 4 + bne 4 = 57 or 61 cycles, about 15.5 kbit/s.
; 4,640 turns = about 274,000 cycles, 0.3 s.
noise   ldx     #4640
nz1     jsr     rnd
        ldab    #lo
        bcc     nz2
        ldab    #lo+$80
nz2     stab    dac
        dex
        bne     nz1
        rts

; ---- 4: explosion ----------------------------------------------------------------------
; Noise bits at idle +- amp. One turn: jsr rnd 38/40 + ldab 2 + bcs 4 + (subb 3 + bra 4
; | addb 3) + stab 5 + ldaa 2 + 2*(deca 2 + bne 4) + dec 6 + bne 4 = 80 or 78 cycles,
; a rumble of about 11.5 kbit/s. 128 turns per amplitude step (about 10,130 cycles),
; amplitude 120 down to 1: 1.21 million cycles, 1.33 s.
explode ldaa    #120
        staa    amp
ex1     ldaa    #128
        staa    tick
ex2     jsr     rnd
        ldab    #idle
        bcs     ex3
        subb    amp             ; bit clear: below the rest level
        bra     ex4
ex3     addb    amp             ; bit set: above it
ex4     stab    dac
        ldaa    #2
ex5     deca                    ; 6 cycles per count: slows the rumble down
        bne     ex5
        dec     tick
        bne     ex2
        dec     amp
        bne     ex1
        rts

; ---- 5: laser --------------------------------------------------------------------------
; P from 8 up to 63, two periods each: 6,909 Hz falling to 1,151 Hz. One zap is
; 56 steps of 4*(18 + 6*P) + 34 cycles = 53,648 cycles (58.8 ms); four zaps 0.235 s.
laser   ldaa    #4
        staa    count
ls1     ldaa    #8
        staa    period
ls2     ldx     #4
        jsr     square
        inc     period
        ldaa    period
        cmpa    #64
        bne     ls2
        dec     count
        bne     ls1
        rts

; ---- 6: melody -------------------------------------------------------------------------
melody  ldx     #tune
        jmp     playtab

; ---- 7: sawtooth -----------------------------------------------------------------------
; inca 2 + staa 5 + dex 4 + bne 4 = 15 cycles a step, 256 steps a period:
; 3,840 cycles, 237.5 Hz. 30,400 steps = 456,000 cycles, 0.5 s.
saw     ldx     #30400
        clra
sw1     inca                    ; 2
        staa    dac             ; 5
        dex                     ; 4
        bne     sw1             ; 4
        rts

; ---- 8: triangle -----------------------------------------------------------------------
; Up from $04 to $FC and down to $00 in steps of 4, 13 cycles a step both ways,
; 126 steps + dex/bne 8 = 1,646 cycles a period: 554.1 Hz. 277 periods, 0.5 s.
tri     ldx     #277
        clra
tr1     adda    #4              ; 2
        staa    dac             ; 5
        cmpa    #$FC            ; 2
        bne     tr1             ; 4  13 cycles up
tr2     suba    #4              ; 2
        staa    dac             ; 5
        nop                     ; 2  match the upward step
        bne     tr2             ; 4  13 cycles down (staa sets Z from A just as suba did)
        dex                     ; 4
        bne     tr1             ; 4
        rts

; ---- 9: alarm --------------------------------------------------------------------------
alarm   ldx     #twotone
        jmp     playtab

; ---- 10: chime again -------------------------------------------------------------------
rechime ldx     #chime
        jmp     playtab

; ---- Note tables: delay count, milliseconds ---------------------------------------------
chime   note    G5,70
        note    C6,70
        note    E6,70
        note    G6,200
        db      0

tune    note    C5,150
        note    E5,150
        note    G5,150
        note    E5,150
        note    F5,150
        note    A5,150
        note    G5,150
        note    C6,300
        db      0

twotone note    G5,125
        note    E5,125
        note    G5,125
        note    E5,125
        note    G5,125
        note    E5,125
        note    G5,125
        note    E5,125
        db      0

; ---- Vectors ---------------------------------------------------------------------------
        ds      $FFF8-*,$FF
        * = $FFF8
        dw      irq             ; IRQ
        dw      irq             ; SWI (not used)
        dw      irq             ; NMI (not used)
        dw      reset           ; RESET
        code
