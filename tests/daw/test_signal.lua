ardour {
	["type"]    = "dsp",
	name        = "Morsello Test Signal",
	category    = "Utility",
	license     = "GPL-3.0-or-later",
	author      = "Morsello Kitchen",
	description = [[Replaces its input with a fixed stereo test signal that starts again in every new instance: 0.1 s of silence, then two tones and noise. The DAW tests render it through the plug-in and compute the same signal on their own side.]]
}

-- The signal, sample n (from 0) at 48 kHz, computed in double precision and stored as float:
--   n < 4800: 0 on both channels (time for the host's settings to settle before any sound);
--   left  = 0.35 sin (2 pi 220 n / 48000) + 0.15 sin (2 pi 1375 n / 48000) + 0.1 hiss
--   right = 0.3 sin (2 pi 330 n / 48000) - 0.2 hiss
-- where hiss = state / 2^31 - 0.5 and state steps as state = (state * 1103515245 + 12345) mod 2^31
-- from 1, once per sample from n = 4800 on. tests/daw/TestSignal.h computes the same.

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

local n = 0
local state = 1

function dsp_run (ins, outs, n_samples)
	local left = outs[1]:array ()
	local right = outs[2]:array ()
	for i = 1, n_samples do
		if n < 4800 then
			left[i] = 0
			right[i] = 0
		else
			state = (state * 1103515245 + 12345) % 2147483648
			local hiss = state / 2147483648 - 0.5
			left[i] = 0.35 * math.sin (2 * math.pi * 220 * n / 48000) + 0.15 * math.sin (2 * math.pi * 1375 * n / 48000) + 0.1 * hiss
			right[i] = 0.3 * math.sin (2 * math.pi * 330 * n / 48000) - 0.2 * hiss
		end
		n = n + 1
	end
end
