; tone.asm - a steady 500 Hz square wave, for checking the audio path
;
; No interrupt handling beyond a bare return. At the default 19 cycles per sample the
; processor runs 912,000 cycles a second.

        cpu     6800
        output  scode

dac     = $0400         ; PIA port A: the 8-bit DAC
period  = $00           ; delay count

        * = $F800
        code

reset   lds     #$007F
        ldaa    #149
        staa    period
        ldaa    #$40
        cli
; Half period: eora 2 + staa 5 + ldab 3 + (decb 2 + bne 4) * 149 + nop 2 + nop 2
; + bra 4 = 912 cycles: a 1,824-cycle period, exactly 500 Hz, levels $40 / $C0.
loop    eora    #$80            ; 2
        staa    dac             ; 5
        ldab    period          ; 3
dly     decb                    ; 2
        bne     dly             ; 4
        nop                     ; 2
        nop                     ; 2
        bra     loop            ; 4

irq     rti

        ds      $FFF8-*,$FF
        * = $FFF8
        dw      irq             ; IRQ
        dw      irq             ; SWI (not used)
        dw      irq             ; NMI (not used)
        dw      reset           ; RESET
        code
