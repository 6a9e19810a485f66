-- Drives The Morsello in Ardour's headless session tool, as a user would in the DAW, and writes
-- what it rendered for the DAW tests to compare with the project's own processor.
--
--   ardour7-lua daw_session.lua FORMAT ACTION SESSION_DIR OUT_DIR
--
-- FORMAT is "vst3" or "lv2". ACTION "new" makes a session, checks what the DAW lists, renders
-- each case on a track of its own and saves the session with the reload case set up;
-- ACTION "reopen" opens that session in a fresh process and renders the reload case again.
-- Every render is OUT_DIR/FORMAT-NAME.wav (stereo, 32-bit float), and OUT_DIR/FORMAT.cases
-- gets a line per render: the name, then "program=N" (-1 for none), "bypass=0|1",
-- "set=I:V,..." (parameter index and the normalised value the DAW was given) and
-- "shown=V,..." (the sixteen normalised values the DAW shows after the render).
-- Any failed check ends the script with an error, and so ardour7-lua with a non-zero status.

local format, action, session_dir, out_dir = arg[1], arg[2], arg[3], arg[4]
assert (format == "vst3" or format == "lv2", "usage: daw_session.lua vst3|lv2 new|reopen SESSION_DIR OUT_DIR")
assert (action == "new" or action == "reopen", "usage: daw_session.lua vst3|lv2 new|reopen SESSION_DIR OUT_DIR")

local plugin_id = format == "vst3" and "The Morsello" or "https://morsello.invalid/plugins/the-morsello"
local plugin_type = format == "vst3" and ARDOUR.PluginType.VST3 or ARDOUR.PluginType.LV2
local render_length = 48000 -- 1 s at 48 kHz, 0.1 s of it silence

local recipe_names = {
	"soft centre", "toasted cloud", "inside out", "jam tomorrow", "crumbs in orbit",
	"midnight picnic", "bitten tape", "two crusts", "amber filling", "wrong lunch",
	"quiet deli", "chef's mistake", "alien cutlery", "folded napkin", "singing glass",
	"orbiting crumbs" }

local parameter_names = {
	"Bread type", "Bread mode", "Filling type", "left1", "left2", "left3", "right1", "right2",
	"right3", "fill1", "fill2", "fill3", "fill4", "toast", "bite", "Output" }

local function check (condition, message)
	if not condition then error ("FAILED: " .. message, 2) end
end

-- The settings of each render case. Parameters are given as the DAW gives them: normalised.
local cases = {
	{ name = "default" },
	{ name = "program-12", program = 12 },
	{ name = "program-8", program = 8 },
	{ name = "parameters", set = { { 0, 10 / 12 }, { 2, 7 / 8 }, { 1, 1 }, { 4, 0.25 }, { 7, 0.8 }, { 13, 0.7 }, { 14, 0.6 }, { 15, 0.5 } } },
	{ name = "program-then-parameters", program = 3, set = { { 13, 0.9 }, { 10, 0.2 } } },
	{ name = "bypass", program = 13, bypass = true },
}

-- The reload case: a program, then edits, saved and reopened.
local reload_case = { name = "reload", program = 9, set = { { 13, 0.9 }, { 4, 0.333 }, { 0, 10 / 12 } } }

if format == "lv2" then
	-- The DAW's session tool reaches LV2 parameters (patch properties) through no call, so LV2
	-- cases use the DAW's preset menu only; the LV2 bundle's own tests set parameters.
	cases = { { name = "default" }, { name = "program-12", program = 12 }, { name = "program-8", program = 8 } }
	reload_case = { name = "reload", program = 9 }
end

AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:set_sample_rate (48000)
check (AudioEngine:start (false) == 0, "the dummy audio engine starts")
if action == "reopen" then
	-- Opened with the engine stopped, so that neither format processes anything before the
	-- render. (Stopping and starting the engine again in a reopened session crashes the DAW's
	-- session tool, so it is stopped once, before the session opens.)
	AudioEngine:stop (false)
end

-- The session is named after its folder, as the DAW names the folder that holds its audio.
local session_name = session_dir:match ("([^/]+)/*$")

if action == "new" then
	os.execute ("rm -rf '" .. session_dir .. "'")
	check (create_session (session_dir, session_name, 48000), "a new session")
else
	check (load_session (session_dir, session_name), "the saved session opens")
end

local function shown_values (plugin)
	local values = {}
	for i = 0, 15 do
		values[#values + 1] = string.format ("%.9g", ARDOUR.LuaAPI.get_processor_param (plugin, i, true))
	end
	return table.concat (values, ",")
end

local function describe (case)
	local set = {}
	for _, s in ipairs (case.set or {}) do set[#set + 1] = string.format ("%d:%.9g", s[1], s[2]) end
	return string.format ("program=%d bypass=%d set=%s", case.program or -1, case.bypass and 1 or 0, table.concat (set, ","))
end

local function new_track (name)
	local tracks = Session:new_audio_track (2, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
	local track
	for t in tracks:iter () do track = t end
	tracks = nil
	check (track and not track:isnil (), "a new stereo track " .. name)
	return track
end

local function find_track (name)
	for r in Session:get_tracks ():iter () do
		if r:name () == name then return r end
	end
	return nil
end

-- In front of a user the engine runs all the time, and a VST3 plug-in's settings travel between
-- it and the DAW with the blocks it processes (see docs/hosts.md): values the DAW queued when
-- the plug-in was inserted arrive with the first block, a program's values reach the DAW with
-- the next one. So the VST3 cases are set up with the engine running, a moment after each
-- step, and rendered after one stop of the engine; the plug-in is prepared afresh for every
-- render, which clears what it processed before. The LV2 plug-in is not, so for LV2 the engine
-- is stopped before any plug-in is made. (Each stop and start of the engine risks a crash in
-- the session tool's butler thread, so the engine stops once.)
local function let_blocks_run ()
	if format == "vst3" then sleep (0.3) end
end

-- Adds the plug-in to a track and applies a case's settings through the DAW.
local function add_plugin (track, case)
	local plugin = ARDOUR.LuaAPI.new_plugin (Session, plugin_id, plugin_type, "")
	check (not plugin:isnil (), "the DAW finds The Morsello (" .. format .. ")")
	check (track:add_processor_by_index (plugin, 0, nil, true) == 0, "the plug-in goes on the track")
	let_blocks_run ()

	if case.program then
		local engine_plugin = plugin:to_insert ():plugin (0)
		local preset = engine_plugin:preset_by_label (recipe_names[case.program + 1])
		check (preset, "the preset menu has " .. recipe_names[case.program + 1])
		check (engine_plugin:load_preset (preset), "the DAW loads " .. recipe_names[case.program + 1])
		let_blocks_run ()
	end
	for _, s in ipairs (case.set or {}) do
		check (ARDOUR.LuaAPI.set_processor_param (plugin, s[1], s[2]), "the DAW sets parameter " .. s[1])
	end
	if case.set then let_blocks_run () end
	if case.bypass then
		if format == "vst3" then
			check (ARDOUR.LuaAPI.set_processor_param (plugin, 16, 1), "the DAW sets the plug-in's bypass")
		else
			plugin:deactivate ()
		end
		let_blocks_run ()
	end
	return plugin
end

local cases_file = assert (io.open (out_dir .. "/" .. format .. ".cases", action == "new" and "w" or "a"))

-- Renders a track offline from the session's start, with the engine stopped, and moves the two
-- mono files the DAW writes into OUT_DIR as one stereo WAV (by the comparison program).
local function render (track, plugin, case)
	-- The test signal is generated by a Lua processor in front of the plug-in, new per render.
	local signal = ARDOUR.LuaAPI.new_luaproc (Session, "Morsello Test Signal")
	check (not signal:isnil (), "the test signal processor is found")
	check (track:add_processor_by_index (signal, 0, nil, true) == 0, "the test signal goes on the track")

	local region_name = format .. "-" .. case.name
	local region = track:bounce_range (0, render_length, ARDOUR.InterThreadInfo (), track:main_outs (), false, region_name)
	check (not region:isnil (), "the DAW renders " .. region_name)
	check (region:length ():samples () == render_length, "the render's length")
	-- The DAW removes processors only while its engine runs; switched off, the generator passes
	-- its input on and is saved switched off.
	signal:deactivate ()
	signal = nil

	local folder = session_dir .. "/interchange/" .. session_name .. "/audiofiles/"
	for _, side in ipairs ({ "L", "R" }) do
		local from = folder .. region_name .. "%" .. side .. ".wav"
		local to = out_dir .. "/" .. region_name .. "-" .. side .. ".wav"
		check (os.rename (from, to), "the render " .. from .. " is written")
	end
	cases_file:write (string.format ("%s %s shown=%s\n", case.name, describe (case), shown_values (plugin)))
	region = nil
end

if action == "new" then
	-- What the DAW lists: name, vendor, parameters and the factory programs.
	if format == "lv2" then AudioEngine:stop (false) end
	local track = new_track ("listing")
	local plugin = add_plugin (track, {})
	local engine_plugin = plugin:to_insert ():plugin (0)
	check (engine_plugin:name () == "The Morsello", "the name, not " .. engine_plugin:name ())
	check (engine_plugin:maker () == "Morsello Kitchen", "the vendor, not " .. engine_plugin:maker ())

	if format == "vst3" then
		check (engine_plugin:parameter_count () == 17, "sixteen parameters and bypass, not " .. engine_plugin:parameter_count ())
		for i = 0, 15 do
			check (engine_plugin:parameter_label (i) == parameter_names[i + 1],
			       "parameter " .. i .. " is " .. parameter_names[i + 1] .. ", not " .. engine_plugin:parameter_label (i))
		end
		check (engine_plugin:parameter_label (16) == "Bypass", "the last parameter is the bypass")
	end

	for i, recipe in ipairs (recipe_names) do
		local preset = engine_plugin:preset_by_label (recipe)
		check (preset, "the preset menu lists " .. recipe)
		check (not preset.user, recipe .. " is a factory preset, not the user's")
		check (preset.uri:match ("(%d+)$") == (format == "vst3" and string.format ("%04d", i - 1) or tostring (i)),
		       recipe .. " is program " .. (i - 1) .. " (" .. preset.uri .. ")")
	end
	check (not engine_plugin:preset_by_label ("elevenses"), "no preset beyond the sixteen")
	engine_plugin = nil
	plugin = nil
	track = nil

	local case_tracks = {}
	for _, case in ipairs (cases) do
		local case_track = new_track (case.name)
		case_tracks[#case_tracks + 1] = { track = case_track, plugin = add_plugin (case_track, case), case = case }
		case_track = nil
	end

	-- The reload case: set up and rendered once now, saved, and rendered again by "reopen".
	local reload_track = new_track (reload_case.name)
	case_tracks[#case_tracks + 1] = { track = reload_track, plugin = add_plugin (reload_track, reload_case),
	                                  case = { name = "before-reload", program = reload_case.program, set = reload_case.set } }
	reload_track = nil

	if format == "vst3" then AudioEngine:stop (false) end
	for _, entry in ipairs (case_tracks) do
		render (entry.track, entry.plugin, entry.case)
	end
	case_tracks = nil
	collectgarbage ()
	check (Session:save_state ("", false, false, false, false, false) == 0, "the session is saved")
else
	local route = find_track (reload_case.name)
	check (route, "the reopened session has the track " .. reload_case.name)
	local track = route:to_track ()
	route = nil
	-- The track holds the switched-off test signal of the first render, then the plug-in.
	local plugin
	for i = 0, 3 do
		local candidate = track:nth_plugin (i)
		if not candidate:isnil () and candidate:to_insert ():plugin (0):name () == "The Morsello" then plugin = candidate end
	end
	check (plugin, "the reopened track has the plug-in")
	-- The LV2 render of a reopened session is not compared (see docs/hosts.md).
	if format == "vst3" then render (track, plugin, reload_case) end
	plugin = nil
	track = nil
end

cases_file:close ()

-- Lua references to the session's objects must be gone before the session closes.
collectgarbage ()
close_session ()
collectgarbage ()
