# quartus_sh of the Quartus stand-in: a Tcl shell that offers the project
# commands of the vendor's shell (packages ::quartus::project and
# ::quartus::flow), so that a project set-up script written for the vendor's
# quartus_sh runs here unchanged and leaves the same project files:
# <project>.qpf and <revision>.qsf in the current folder.
#
# Command lines:
#   quartus_sh -t <script> [arguments]           run a script (arguments in quartus(args) and argv)
#   quartus_sh --tcl_eval <command> [words...]   evaluate one command
#   quartus_sh --flow compile <project> [-c <revision>]
#                                                map, fit, asm and the timing analysis
#   quartus_sh -v | --version                    the version
#   quartus_sh -h | --help                       usage
#
# Messages follow the vendor's console style ("Info: ...", "Warning: ...",
# "Error: ..."), the run ends with "... was successful. N errors, M warnings"
# or "... was unsuccessful ..." and exit code 0 or 3.

namespace eval ::standin {
    variable bin [file dirname [file normalize [info script]]]
    variable product "Quartus II 64-Bit"
    variable version "13.1.0 Build 162 10/23/2013 SJ Web Edition"
    variable errors 0
    variable warnings 0
    variable started [clock seconds]

    # The open project: name (as given to project_new/project_open), revision,
    # and its assignments in file order, each a dict with the keys
    # kind (global, location, instance, parameter), name, value, to, from,
    # section_id, entity, tag, comment.
    variable open 0
    variable project ""
    variable revision ""
    variable assignments {}

    # Global assignments that name one file each and may be given many times.
    variable listAssignments {
        VHDL_FILE VERILOG_FILE SYSTEMVERILOG_FILE EDIF_FILE VQM_FILE SDC_FILE QIP_FILE
        TCL_SCRIPT_FILE SOURCE_FILE BDF_FILE AHDL_FILE SEARCH_PATH MISC_FILE QSYS_FILE
        SIP_FILE USER_LIBRARIES
    }
}

# ---------------------------------------------------------------------------
# Version and messages

proc ::standin::ReadVersion {} {
    variable bin
    variable product
    variable version
    set readme [file join [file dirname $bin] readme.txt]
    if {[catch {open $readme r} channel]} {return}
    set line ""
    gets $channel line
    close $channel
    if {[regexp {^(.*?)\s+Version\s+(\S.*?)\s*$} $line -> p v]} {
        set product $p
        set version $v
    }
}

# The version number alone, e.g. "13.1" for "13.1.0 Build 162 ...".
proc ::standin::ShortVersion {} {
    variable version
    if {[regexp {^(\d+)\.(\d+)} $version -> major minor]} {return $major.$minor}
    return [lindex [split $version] 0]
}

proc ::standin::Now {} {
    return [clock format [clock seconds] -format "%a %b %d %H:%M:%S %Y"]
}

proc ::standin::Plural {count word} {
    if {$count == 1} {return "$count $word"}
    return "$count ${word}s"
}

# type: info, extra_info, warning, critical_warning, error. id: the message
# number, 0 for none. indent: nesting level of a sub-message.
proc ::standin::Message {type text {id 0} {indent 0}} {
    variable errors
    variable warnings
    switch -- $type {
        info {set prefix Info}
        extra_info {set prefix "Extra Info"}
        warning {set prefix Warning; if {$indent == 0} {incr warnings}}
        critical_warning {set prefix "Critical Warning"; if {$indent == 0} {incr warnings}}
        error {set prefix Error; if {$indent == 0} {incr errors}}
        default {return -code error "unknown message type \"$type\": use info, extra_info, warning, critical_warning or error"}
    }
    if {$id != 0} {append prefix " ($id)"}
    puts "[string repeat {    } $indent]$prefix: $text"
    flush stdout
}

proc ::standin::Banner {commandLine} {
    variable product
    variable version
    ::standin::Message info "*******************************************************************"
    ::standin::Message info "Running $product Shell"
    ::standin::Message info "Version $version" 0 1
    ::standin::Message info "Stand-in program of the arria5 bench, not the vendor's software" 0 1
    ::standin::Message info "Processing started: [::standin::Now]" 0 1
    ::standin::Message info "*******************************************************************"
    ::standin::Message info "Command: $commandLine"
}

# Prints the closing lines and leaves with exit code 0 or 3.
proc ::standin::Finish {{forceError 0}} {
    variable product
    variable errors
    variable warnings
    variable started
    set counts "[::standin::Plural $errors error], [::standin::Plural $warnings warning]"
    if {$errors == 0 && !$forceError} {
        ::standin::Message info "$product Shell was successful. $counts"
        set code 0
    } else {
        puts "Error: $product Shell was unsuccessful. $counts"
        set code 3
    }
    set elapsed [expr {[clock seconds] - $started}]
    set hms [format "%02d:%02d:%02d" [expr {$elapsed / 3600}] [expr {$elapsed / 60 % 60}] [expr {$elapsed % 60}]]
    ::standin::Message info "Peak virtual memory: 412 megabytes" 0 1
    ::standin::Message info "Processing ended: [::standin::Now]" 0 1
    ::standin::Message info "Elapsed time: $hms" 0 1
    ::standin::Message info "Total CPU time (on all processors): $hms" 0 1
    flush stdout
    exit $code
}

# ---------------------------------------------------------------------------
# Options of the project commands: "-name value" pairs, flags and positional words.

# spec: option names with a trailing ":" take a value. Returns a dict of the
# options given plus "positional" (the other words).
proc ::standin::ParseOptions {command spec words} {
    set result [dict create positional {}]
    set takesValue {}
    set flags {}
    foreach item $spec {
        if {[string index $item end] eq ":"} {
            lappend takesValue [string range $item 0 end-1]
        } else {
            lappend flags $item
        }
    }
    for {set i 0} {$i < [llength $words]} {incr i} {
        set word [lindex $words $i]
        if {[string index $word 0] eq "-" && [string length $word] > 1 && ![string is double -strict $word]} {
            set option [string range $word 1 end]
            if {$option in $takesValue} {
                if {$i + 1 >= [llength $words]} {
                    return -code error "$command: option -$option needs a value"
                }
                dict set result $option [lindex $words [incr i]]
                continue
            }
            if {$option in $flags} {
                dict set result $option 1
                continue
            }
            return -code error "$command: unknown option -$option"
        }
        dict lappend result positional $word
    }
    return $result
}

proc ::standin::Option {options name {fallback ""}} {
    if {[dict exists $options $name]} {return [dict get $options $name]}
    return $fallback
}

proc ::standin::RequireOpenProject {command} {
    variable open
    if {!$open} {return -code error "$command: no project is open; use project_new or project_open first"}
}

# ---------------------------------------------------------------------------
# Assignments

proc ::standin::SameKey {a b keys} {
    foreach key $keys {
        if {![string equal -nocase [dict get $a $key] [dict get $b $key]]} {return 0}
    }
    return 1
}

# Adds an assignment. A single-valued one replaces the assignment of the same
# name and target in place; file lists (VHDL_FILE ...) gain one entry per file.
# With remove set, the matching assignments (of a list: with that value) go.
proc ::standin::Record {record remove} {
    variable assignments
    variable listAssignments
    if {[dict get $record kind] eq "location"} {
        set keys {kind to from section_id entity}
    } else {
        set keys {kind name to from section_id entity}
    }
    set isList [expr {[dict get $record kind] eq "global" && [dict get $record name] in $listAssignments}]
    set value [dict get $record value]
    if {$remove} {
        set kept {}
        foreach existing $assignments {
            if {[::standin::SameKey $existing $record $keys] &&
                (!$isList || $value eq "" || [string equal -nocase [dict get $existing value] $value])} {
                continue
            }
            lappend kept $existing
        }
        set assignments $kept
        return
    }
    if {$isList} {
        foreach existing $assignments {
            if {[::standin::SameKey $existing $record $keys] && [dict get $existing value] eq $value} {return}
        }
        lappend assignments $record
        return
    }
    set kept {}
    set placed 0
    foreach existing $assignments {
        if {[::standin::SameKey $existing $record $keys]} {
            if {!$placed} {
                lappend kept $record
                set placed 1
            }
            continue
        }
        lappend kept $existing
    }
    if {!$placed} {lappend kept $record}
    set assignments $kept
}

proc ::standin::NewRecord {kind name value options} {
    return [dict create kind $kind name [string toupper $name] value $value \
        to [::standin::Option $options to] from [::standin::Option $options from] \
        section_id [::standin::Option $options section_id] entity [::standin::Option $options entity] \
        tag [::standin::Option $options tag] comment [::standin::Option $options comment]]
}

proc ::standin::AssignGlobal {args} {
    set words $args
    set options [::standin::ParseOptions set_global_assignment \
        {name: section_id: entity: tag: comment: to: from: remove rise fall disable} $words]
    set name [::standin::Option $options name]
    if {$name eq ""} {return -code error "set_global_assignment: option -name is required"}
    set values [dict get $options positional]
    set remove [::standin::Option $options remove 0]
    if {[llength $values] > 1} {
        return -code error "set_global_assignment -name $name: one value expected, got [llength $values] ($values); put a value with blanks in quotes"
    }
    if {[llength $values] == 0 && !$remove} {
        return -code error "set_global_assignment -name $name: a value is required"
    }
    ::standin::Record [::standin::NewRecord global $name [lindex $values 0] $options] $remove
}

proc ::standin::AssignInstance {args} {
    set words $args
    set options [::standin::ParseOptions set_instance_assignment \
        {name: to: from: section_id: entity: tag: comment: remove rise fall disable} $words]
    set name [::standin::Option $options name]
    if {$name eq ""} {return -code error "set_instance_assignment: option -name is required"}
    set values [dict get $options positional]
    set remove [::standin::Option $options remove 0]
    if {[llength $values] > 1} {
        return -code error "set_instance_assignment -name $name: one value expected, got [llength $values] ($values); put a value with blanks in quotes"
    }
    if {[llength $values] == 0 && !$remove} {
        return -code error "set_instance_assignment -name $name: a value is required"
    }
    if {[::standin::Option $options to] eq "" && [::standin::Option $options from] eq ""} {
        return -code error "set_instance_assignment -name $name: option -to is required"
    }
    ::standin::Record [::standin::NewRecord instance $name [lindex $values 0] $options] $remove
}

proc ::standin::AssignLocation {args} {
    set words $args
    set options [::standin::ParseOptions set_location_assignment \
        {to: from: section_id: entity: tag: comment: remove disable} $words]
    set values [dict get $options positional]
    set remove [::standin::Option $options remove 0]
    if {[::standin::Option $options to] eq ""} {
        return -code error "set_location_assignment: option -to is required"
    }
    if {[llength $values] != 1 && !$remove} {
        return -code error "set_location_assignment -to [::standin::Option $options to]: one location expected, such as PIN_AB12"
    }
    ::standin::Record [::standin::NewRecord location LOCATION [lindex $values 0] $options] $remove
}

proc ::standin::AssignParameter {args} {
    set words $args
    set options [::standin::ParseOptions set_parameter {name: to: entity: remove} $words]
    set name [::standin::Option $options name]
    if {$name eq ""} {return -code error "set_parameter: option -name is required"}
    set values [dict get $options positional]
    set remove [::standin::Option $options remove 0]
    ::standin::Record [dict create kind parameter name $name value [lindex $values 0] \
        to [::standin::Option $options to] from "" section_id "" entity [::standin::Option $options entity] \
        tag "" comment ""] $remove
}

# ---------------------------------------------------------------------------
# Project files

# A word of the settings file: bare when it needs no quoting, else in quotes
# or braces. Square brackets stay bare, as in the vendor's settings files.
proc ::standin::QuoteWord {text} {
    if {$text eq ""} {return "\"\""}
    if {[regexp {^[][A-Za-z0-9_.:/|~!@%^&*+=,<>?'()-]+$} $text] && [string index $text 0] ne "#"} {
        return $text
    }
    if {![regexp {[\"\\$\[\]]} $text]} {return "\"$text\""}
    if {![regexp {[{}\\]} $text]} {return "{$text}"}
    return [string map {\\ \\\\ \" \\\" $ \\$ \[ \\\[ \] \\\] \{ \\\{ \} \\\} " " "\\ "} $text]
}

proc ::standin::AssignmentLine {record} {
    set line ""
    switch -- [dict get $record kind] {
        global {set line "set_global_assignment -name [dict get $record name]"}
        instance {set line "set_instance_assignment -name [dict get $record name]"}
        location {set line "set_location_assignment"}
        parameter {set line "set_parameter -name [dict get $record name]"}
    }
    append line " " [::standin::QuoteWord [dict get $record value]]
    foreach key {from to section_id entity tag comment} {
        if {[dict get $record $key] ne ""} {append line " -$key " [::standin::QuoteWord [dict get $record $key]]}
    }
    return $line
}

proc ::standin::FileHeader {} {
    variable product
    variable version
    set date [clock format [clock seconds] -format "%H:%M:%S  %B %d, %Y"]
    set rule "# -------------------------------------------------------------------------- #"
    return "$rule\n#\n# $product\n# Version $version\n# Date created = $date\n#\n$rule\n\n"
}

# Writes a whole file or nothing: the text goes to a temporary file first.
proc ::standin::WriteFile {path text} {
    set temporary "$path.tmp[pid]"
    if {[catch {
        set channel [open $temporary w]
        fconfigure $channel -translation lf
        puts -nonewline $channel $text
        close $channel
        file rename -force $temporary $path
    } message]} {
        catch {close $channel}
        catch {file delete $temporary}
        return -code error "cannot write $path: $message"
    }
}

proc ::standin::WriteProjectFile {} {
    variable project
    variable revision
    set date [clock format [clock seconds] -format "%H:%M:%S  %B %d, %Y"]
    set text [::standin::FileHeader]
    append text "QUARTUS_VERSION = \"[::standin::ShortVersion]\"\n"
    append text "DATE = \"$date\"\n\n# Revisions\n\n"
    append text "PROJECT_REVISION = \"$revision\"\n"
    ::standin::WriteFile $project.qpf $text
}

proc ::standin::SettingsFile {} {
    variable project
    variable revision
    set folder [file dirname $project]
    if {$folder eq "."} {return $revision.qsf}
    return [file join $folder $revision.qsf]
}

proc ::standin::WriteSettingsFile {} {
    variable assignments
    set text [::standin::FileHeader]
    foreach record $assignments {append text [::standin::AssignmentLine $record] "\n"}
    ::standin::WriteFile [::standin::SettingsFile] $text
}

# Reads a settings file command by command, so that a fault names its line.
# Square brackets are read as plain characters, as the vendor's settings
# files write bus bits such as led[0] without quoting.
proc ::standin::ReadSettingsFile {path} {
    variable assignments
    set assignments {}
    if {![file exists $path]} {return}
    set channel [open $path r]
    set text [read $channel]
    close $channel
    set reader [interp create -safe]
    set known {set_global_assignment set_instance_assignment set_location_assignment set_parameter
               set_io_assignment set_user_option}
    interp alias $reader set_global_assignment {} ::standin::AssignGlobal
    interp alias $reader set_instance_assignment {} ::standin::AssignInstance
    interp alias $reader set_location_assignment {} ::standin::AssignLocation
    interp alias $reader set_parameter {} ::standin::AssignParameter
    foreach command {set_io_assignment set_user_option} {
        interp eval $reader [list proc $command args {}]
    }
    # A bracketed word such as [0] in led[0] reads back as itself.
    interp eval $reader {proc unknown args {return "\[[join $args { }]\]"}}
    set command ""
    set first 0
    set number 0
    set failure ""
    foreach line [split $text \n] {
        incr number
        if {$command eq ""} {set first $number}
        append command $line \n
        if {![info complete $command]} {continue}
        set words [string trim $command]
        set command ""
        if {$words eq "" || [string index $words 0] eq "#"} {continue}
        if {[catch {lindex $words 0} name] || $name ni $known} {
            set failure "$path line $first: \"[lindex [split $words] 0]\" is not a settings command"
            break
        }
        if {[catch {interp eval $reader $words} message]} {
            set failure "$path line $first: $message"
            break
        }
    }
    interp delete $reader
    if {$failure ne ""} {return -code error $failure}
    if {[string trim $command] ne ""} {
        return -code error "$path line $first: the command is not complete (a quote or brace is not closed)"
    }
}

# ---------------------------------------------------------------------------
# ::quartus::project

proc project_new {args} {
    set options [::standin::ParseOptions project_new {family: part: revision: overwrite} $args]
    set names [dict get $options positional]
    if {[llength $names] != 1} {return -code error "project_new: one project name expected"}
    if {$::standin::open} {return -code error "project_new: project $::standin::project is still open; close it first"}
    set name [lindex $names 0]
    regsub -nocase {\.qpf$} $name {} name
    if {[file exists $name.qpf] && ![::standin::Option $options overwrite 0]} {
        return -code error "project_new: project $name already exists; use -overwrite to replace it"
    }
    set ::standin::project $name
    set ::standin::revision [::standin::Option $options revision [file tail $name]]
    set ::standin::assignments {}
    if {[dict exists $options family]} {
        ::standin::AssignGlobal -name FAMILY [dict get $options family]
    }
    if {[dict exists $options part]} {
        ::standin::AssignGlobal -name DEVICE [dict get $options part]
    }
    ::standin::WriteProjectFile
    ::standin::WriteSettingsFile
    set ::standin::open 1
    ::standin::Message info "Created project $name (revision $::standin::revision)"
    return
}

proc project_open {args} {
    set options [::standin::ParseOptions project_open {revision: force current_revision} $args]
    set names [dict get $options positional]
    if {[llength $names] != 1} {return -code error "project_open: one project name expected"}
    if {$::standin::open} {return -code error "project_open: project $::standin::project is still open; close it first"}
    set name [lindex $names 0]
    regsub -nocase {\.qpf$} $name {} name
    if {![file exists $name.qpf]} {return -code error "project_open: project $name does not exist ($name.qpf not found)"}
    set revision [file tail $name]
    set channel [open $name.qpf r]
    foreach line [split [read $channel] \n] {
        if {[regexp {^\s*PROJECT_REVISION\s*=\s*"([^"]*)"} $line -> found]} {set revision $found; break}
    }
    close $channel
    set ::standin::project $name
    set ::standin::revision [::standin::Option $options revision $revision]
    ::standin::ReadSettingsFile [::standin::SettingsFile]
    set ::standin::open 1
    return
}

proc project_close {args} {
    set options [::standin::ParseOptions project_close {dont_export_assignments} $args]
    ::standin::RequireOpenProject project_close
    if {![::standin::Option $options dont_export_assignments 0]} {::standin::WriteSettingsFile}
    set ::standin::open 0
    set ::standin::assignments {}
    return
}

proc project_exists {name} {
    regsub -nocase {\.qpf$} $name {} name
    return [file exists $name.qpf]
}

proc is_project_open {} {return $::standin::open}

proc get_current_revision {args} {
    ::standin::RequireOpenProject get_current_revision
    return $::standin::revision
}

proc get_project_directory {} {
    ::standin::RequireOpenProject get_project_directory
    return [file normalize [file dirname $::standin::project]]/
}

proc export_assignments {args} {
    ::standin::ParseOptions export_assignments {reorganize} $args
    ::standin::RequireOpenProject export_assignments
    ::standin::WriteSettingsFile
    return
}

proc set_global_assignment {args} {
    ::standin::RequireOpenProject set_global_assignment
    ::standin::AssignGlobal {*}$args
    return
}

proc set_instance_assignment {args} {
    ::standin::RequireOpenProject set_instance_assignment
    ::standin::AssignInstance {*}$args
    return
}

proc set_location_assignment {args} {
    ::standin::RequireOpenProject set_location_assignment
    ::standin::AssignLocation {*}$args
    return
}

proc set_parameter {args} {
    ::standin::RequireOpenProject set_parameter
    ::standin::AssignParameter {*}$args
    return
}

proc get_global_assignment {args} {
    ::standin::RequireOpenProject get_global_assignment
    set options [::standin::ParseOptions get_global_assignment {name: section_id: entity: front_end_name} $args]
    set name [::standin::Option $options name]
    set value ""
    foreach record $::standin::assignments {
        if {[dict get $record kind] eq "global" && [string equal -nocase [dict get $record name] $name] &&
            [string equal -nocase [dict get $record section_id] [::standin::Option $options section_id]]} {
            set value [dict get $record value]
        }
    }
    return $value
}

proc get_all_global_assignments {args} {
    ::standin::RequireOpenProject get_all_global_assignments
    set options [::standin::ParseOptions get_all_global_assignments {name: section_id:} $args]
    set pattern [::standin::Option $options name *]
    set found {}
    foreach record $::standin::assignments {
        if {[dict get $record kind] eq "global" && [string match -nocase $pattern [dict get $record name]]} {
            lappend found [list [dict get $record name] [dict get $record value]]
        }
    }
    return $found
}

proc post_message {args} {
    set options [::standin::ParseOptions post_message {type: submsgs: file: line:} $args]
    set words [dict get $options positional]
    if {[llength $words] != 1} {return -code error "post_message: one message text expected"}
    ::standin::Message [::standin::Option $options type info] [lindex $words 0]
    foreach sub [::standin::Option $options submsgs] {::standin::Message info $sub 0 1}
    return
}

proc qexit {args} {
    set options [::standin::ParseOptions qexit {success error} $args]
    ::standin::Finish [::standin::Option $options error 0]
}

proc load_package {args} {
    set name [lindex $args end]
    package require ::quartus::[string trimleft $name :]
}

# ---------------------------------------------------------------------------
# ::quartus::flow: runs the other stand-in programs of this installation.

proc ::standin::RunTool {tool arguments} {
    set program [file join $::standin::bin quartus_$tool]
    if {![file executable $program]} {return -code error "execute_module: $program is missing"}
    set pipe [open |[list $program {*}$arguments 2>@1] r]
    while {[gets $pipe line] >= 0} {puts $line}
    flush stdout
    if {[catch {close $pipe}]} {return -code error "execute_module: quartus_$tool was unsuccessful"}
}

proc execute_module {args} {
    set options [::standin::ParseOptions execute_module {tool: args: dont_export_assignments} $args]
    ::standin::RequireOpenProject execute_module
    set tool [string tolower [::standin::Option $options tool]]
    if {$tool ni {map fit sta tan asm}} {return -code error "execute_module: -tool must be map, fit, sta, tan or asm"}
    if {![::standin::Option $options dont_export_assignments 0]} {::standin::WriteSettingsFile}
    ::standin::RunTool $tool [list {*}[::standin::Option $options args] $::standin::project -c $::standin::revision]
    return
}

# The timing analyser the project asks for: TimeQuest unless switched off.
proc ::standin::TimingTool {} {
    foreach record $::standin::assignments {
        if {[dict get $record kind] eq "global" && [dict get $record name] eq "USE_TIMEQUEST_TIMING_ANALYZER" &&
            [string equal -nocase [dict get $record value] OFF]} {
            return tan
        }
    }
    return sta
}

proc execute_flow {args} {
    set options [::standin::ParseOptions execute_flow {compile analysis_and_elaboration dont_export_assignments} $args]
    ::standin::RequireOpenProject execute_flow
    ::standin::WriteSettingsFile
    set tools {map fit asm}
    lappend tools [::standin::TimingTool]
    if {[::standin::Option $options analysis_and_elaboration 0]} {set tools map}
    foreach tool $tools {
        ::standin::RunTool $tool [list $::standin::project -c $::standin::revision]
    }
    return
}

package provide ::quartus::project 1.0
package provide ::quartus::flow 1.0
package provide ::quartus::misc 1.0

# ---------------------------------------------------------------------------
# Command line

proc ::standin::Usage {} {
    puts "Usage: quartus_sh -t <script> \[arguments\]"
    puts "       quartus_sh --tcl_eval <command> \[words\]"
    puts "       quartus_sh --flow compile <project> \[-c <revision>\]"
    puts "       quartus_sh -v | --version"
}

# Reports a failed evaluation, naming the file and line where it happened.
proc ::standin::ReportTclError {message options} {
    set info [dict get $options -errorinfo]
    if {[regexp {\(file "([^"]+)" line (\d+)\)} $info -> file line]} {
        ::standin::Message error "$file line $line: $message"
    } else {
        ::standin::Message error $message
    }
}

proc ::standin::Main {arguments} {
    variable product
    variable version
    ::standin::ReadVersion
    set first [lindex $arguments 0]
    if {$first in {-v --version}} {
        puts "$product Shell"
        puts "Version $version"
        exit 0
    }
    if {$first in {-h --help} || [llength $arguments] == 0} {
        ::standin::Usage
        exit [expr {[llength $arguments] == 0 ? 3 : 0}]
    }
    ::standin::Banner [join [list quartus_sh {*}$arguments]]
    switch -- $first {
        -t {
            set script [lindex $arguments 1]
            if {$script eq ""} {
                ::standin::Message error "option -t needs the name of a Tcl script"
                ::standin::Finish
            }
            set ::argv [lrange $arguments 2 end]
            set ::argc [llength $::argv]
            set ::argv0 $script
            set ::quartus(args) $::argv
            if {![file readable $script]} {
                ::standin::Message error "cannot read the Tcl script $script"
                ::standin::Message error "Evaluation of Tcl script $script unsuccessful" 23031
                ::standin::Finish
            }
            if {[catch {uplevel #0 [list source $script]} message options]} {
                ::standin::ReportTclError $message $options
                ::standin::Message error "Evaluation of Tcl script $script unsuccessful" 23031
            } else {
                ::standin::Message info "Evaluation of Tcl script $script was successful" 23030
            }
        }
        --tcl_eval {
            set command [lrange $arguments 1 end]
            if {[catch {uplevel #0 $command} message options]} {
                ::standin::ReportTclError $message $options
            } elseif {$message ne ""} {
                puts $message
            }
        }
        --flow {
            set options [::standin::ParseOptions --flow {c:} [lrange $arguments 1 end]]
            set words [dict get $options positional]
            if {[llength $words] != 2 || [lindex $words 0] ne "compile"} {
                ::standin::Message error "--flow: expected \"--flow compile <project> \[-c <revision>\]\""
                ::standin::Finish
            }
            if {[catch {
                set openOptions {}
                if {[dict exists $options c]} {lappend openOptions -revision [dict get $options c]}
                project_open {*}$openOptions [lindex $words 1]
                execute_flow -compile
                project_close
            } message options]} {
                ::standin::ReportTclError $message $options
            }
        }
        default {
            ::standin::Message error "unknown option $first; see quartus_sh --help"
        }
    }
    ::standin::Finish
}

set ::quartus(nameofexecutable) quartus_sh
set ::quartus(binpath) $::standin::bin/
::standin::ReadVersion
set ::quartus(version) "Version $::standin::version"
if {[catch {::standin::Main $::argv} message options]} {
    ::standin::ReportTclError $message $options
    ::standin::Finish
}
