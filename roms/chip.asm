; chip.asm - sounds written for the complete MC6800 instruction set
;
; Run it with the complete set (hummbox-render --cpu complete, or X in the debugger). It
; relies on opcodes the board's own set skips (wai, asl/rol extended, daa, pshb/pulb,
; blt/bgt, ldx/stx extended) and on the published flag rules: the carry out of asl and rol,
; the half carry that daa corrects by. With the board's set the noise is silent, the
; counter counts in binary and repeats far too long, and the triangle runs astray.
;
; Like demo.asm: the game CPU writes a command to port B and raises the interrupt. Between
; commands the processor sleeps in wai. At the default 19 cycles per sample the processor
; runs 912,000 cycles a second.
;
; Commands (byte at $0402 when the interrupt is raised):
;   1  noise      16-bit shift register through asl/rol and the carry, 0.16 s
;   2  counter    a staircase of 100 decimal steps 00..99 (daa), played twice, 0.28 s
;   3  triangle   246 Hz, its level a signed byte turned at +100 and -100 (blt/bgt), 0.2 s
; 0 and 4..255 are ignored. After every sound the DAC rests at $7F.

        cpu     6800
        output  scode

dac     = $0400         ; PIA port A: the 8-bit DAC
piab    = $0402         ; PIA port B data: the sound command latch
idle    = $7F

seed    = $00           ; 2 bytes: shift register, never 0
lev     = $02           ; triangle level, signed
step    = $03           ; triangle step, +4 or -4
ptr     = $0100         ; the command's table entry, outside the direct page

        * = $F800
        code

reset   lds     #$007F
        ldx     #$ACE1
        stx     seed
        ldaa    #idle
        staa    dac
        cli
sleep   wai                     ; stacks the registers and waits for the command
        bra     sleep

; ---- Interrupt: play the command at piab ------------------------------------------
irq     ldab    piab
        beq     irqend
        cmpb    #ncmd
        bhi     irqend
        ldx     #cmdtab-2
irq1    inx
        inx
        decb
        bne     irq1
        stx     ptr             ; stx and ldx extended
        ldx     ptr
        ldx     0,x
        jsr     0,x
irqend  ldaa    #idle
        staa    dac
        rti

cmdtab  dw      noise, counter, tri
ncmd    = (*-cmdtab)/2

; ---- 1: noise ---------------------------------------------------------------------
; A left-shifting 16-bit Galois register: the bit shifted out of the top comes back as
; the taps $002D. About 45 cycles a sample, 4,000 samples.
noise   ldx     #4000
n1      asl     seed+1          ; 6: bit 7 into C
        rol     seed            ; 6: C into bit 0, the top bit out into C
        bcc     n2              ; 4
        ldaa    seed+1          ; 3
        eora    #$2D            ; 2
        staa    seed+1          ; 4
n2      ldaa    seed            ; 3
        staa    dac             ; 5
        dex                     ; 4
        bne     n1              ; 4
        rts

; ---- 2: counter -------------------------------------------------------------------
; A counts 00..99 in decimal, each value held about 1.4 ms; B counts the two runs and
; survives hold, which saves it on the stack.
counter ldab    #2
c1      clra
c2      staa    dac
        bsr     hold
        adda    #1
        daa                     ; decimal adjust: $09 + 1 gives $10, $99 + 1 gives $00
        bne     c2
        decb
        bne     c1
        rts

hold    pshb                    ; 4
        ldab    #210            ; 2
h1      decb                    ; 2
        bne     h1              ; 4
        pulb                    ; 4
        rts                     ; 5

; ---- 3: triangle ------------------------------------------------------------------
; 37 cycles a step, 100 steps a period (twice 6 more to turn): 3,712 cycles, 245.7 Hz.
tri     clr     lev
        ldaa    #4
        staa    step
        ldx     #5000
t1      ldaa    lev             ; 3
        adda    step            ; 3
        staa    lev             ; 4
        cmpa    #100            ; 2
        blt     t2              ; 4: below +100, signed
        neg     step            ; 6
t2      cmpa    #$9C            ; 2: -100
        bgt     t3              ; 4: above -100, signed
        neg     step            ; 6
t3      eora    #$80            ; 2: signed level to DAC level
        staa    dac             ; 5
        dex                     ; 4
        bne     t1              ; 4
        rts

        ds      $FFF8-*,$FF
        * = $FFF8
        dw      irq             ; IRQ
        dw      irq             ; SWI (not used)
        dw      irq             ; NMI (not used)
        dw      reset           ; RESET
        code
