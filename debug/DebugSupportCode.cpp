#include "debug/DebugSupportCode.h"

namespace {

// Kept free of comments and here-documents: the lines are joined into one command.
// Everything lives in package DB, so that perl's debugger neither stops in it nor traces
// it, and so that its evals see the lexicals of the program's frame.
const char *const kDefinition = R"PERL(
package DB; no strict; no warnings;
$DB::kestrel_pid = $$;
$DB::kestrel_dir = %DIR%;
sub kestrel_esc { my $s = shift; return '' unless defined $s; utf8::encode($s) if utf8::is_utf8($s); $s =~ s/([\x00-\x1f\x7f\\])/sprintf("\\x%02x", ord($1))/ge; return $s; }
sub kestrel_rec { my $fh = $DB::OUT; local ($\, $,) = ('', ''); print $fh "\x1fK\t" . join("\t", map { kestrel_esc($_) } @_) . "\n"; }
sub kestrel_abs { my $f = shift; $f = "$DB::kestrel_dir/$f" unless $f =~ m{^/}; my @o; for my $p (split m{/+}, $f) { next if $p eq '' || $p eq '.'; if ($p eq '..') { pop @o; next; } push @o, $p; } return '/' . join('/', @o); }
sub kestrel_same { my ($n, $abs) = @_; my $a = kestrel_abs($n); return 1 if $a eq $abs; my @s1 = stat($a); my @s2 = stat($abs); return (@s1 && @s2 && $s1[0] == $s2[0] && $s1[1] == $s2[1]) ? 1 : 0; }
sub kestrel_base { my ($b) = $_[0] =~ m{([^/]+)$}; return defined $b ? $b : $_[0]; }
sub kestrel_find { my $abs = shift; my $base = kestrel_base($abs); for my $k (keys %main::) { next unless $k =~ /^_<(.*)$/s; my $n = $1; next if $n =~ /^\(eval \d+\)/ || $n =~ /^-e$/; next unless kestrel_base($n) eq $base; return $n if kestrel_same($n, $abs); } return undef; }
sub kestrel_place { my ($name, $id, $line, $cond) = @_; local *dbline = $main::{'_<' . $name}; my $n = $line; my $max = $#dbline; $n++ while $n <= $max && $dbline[$n] == 0; if ($n > $max) { kestrel_rec('bp', $id, 'refused', 0, "No line from line $line to the end of $name can stop the program."); return; } local $DB::filename = $name; local $DB::filename_error = " of '$name'"; my $ok = eval { DB::break_on_line($n, length($cond) ? $cond : 1); 1 }; if (!$ok) { my $e = $@; $e =~ s/\s+$//; kestrel_rec('bp', $id, 'refused', 0, $e); return; } kestrel_rec('bp', $id, $n == $line ? 'set' : 'moved', $n, ''); }
sub kestrel_break { my ($id, $abs, $line, $cond) = @_; my $name = kestrel_find($abs); if (defined $name) { kestrel_place($name, $id, $line, $cond); } else { $DB::kestrel_pending{$abs}{$id} = [$line, $cond]; kestrel_rec('bp', $id, 'pending', 0, 'The file is not loaded yet.'); } }
sub kestrel_clear { my ($id, $abs, $actual) = @_; if ($DB::kestrel_pending{$abs}) { delete $DB::kestrel_pending{$abs}{$id}; delete $DB::kestrel_pending{$abs} unless %{$DB::kestrel_pending{$abs}}; } return unless $actual > 0; my $name = kestrel_find($abs); return unless defined $name; local *dbline = $main::{'_<' . $name}; local $DB::filename = $name; eval { DB::delete_breakpoint($actual); }; }
sub kestrel_loaded { my $name = shift; return unless %DB::kestrel_pending; for my $abs (keys %DB::kestrel_pending) { next unless kestrel_base($name) eq kestrel_base($abs) && kestrel_same($name, $abs); my $ids = delete $DB::kestrel_pending{$abs}; for my $id (sort { $a <=> $b } keys %$ids) { kestrel_place($name, $id, @{$ids->{$id}}); } } }
unless ($DB::kestrel_hooked) { $DB::kestrel_hooked = 1; my $pp = \&DB::postponed; *DB::postponed = sub { my @r = $pp->(@_); if (ref(\$_[0]) eq 'GLOB') { my $n = *{$_[0]}{NAME}; $n =~ s/^_<//; kestrel_loaded($n); } return @r; }; my $sh = \&DB::save_hist; *DB::save_hist = sub { my @r = $sh->(@_); if ($$ == $DB::kestrel_pid) { eval { shutdown($DB::OUT, 1) }; } return @r; }; }
sub kestrel_scalar { my $v = shift; return 'undef' unless defined $v; if (ref $v) { return "$v"; } return $v if $v =~ /^-?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][-+]?\d+)?$/; my $s = $v; my $more = length($s) - 4000; $s = substr($s, 0, 4000) if $more > 0; $s =~ s/([\\'])/\\$1/g; return $more > 0 ? "'$s'... ($more more characters)" : "'$s'"; }
sub kestrel_value { my ($kind, $depth, $name, $v, $seen) = @_; if (!ref $v) { kestrel_rec($kind, $depth, $name, kestrel_scalar($v)); return; } my $type = Scalar::Util::reftype($v); my $cls = Scalar::Util::blessed($v); my $addr = Scalar::Util::refaddr($v); my $show = (defined $cls ? "$cls=" : '') . sprintf('%s(0x%x)', $type, $addr); if ($seen->{$addr}) { kestrel_rec($kind, $depth, $name, "$show (shown above)"); return; } if ($depth >= 6) { kestrel_rec($kind, $depth, $name, $show); return; } local $seen->{$addr} = 1; my $pre = defined $cls ? "$cls=" : ''; if ($type eq 'ARRAY') { my $c = @$v; kestrel_rec($kind, $depth, $name, "${pre}ARRAY($c)"); my $i = 0; for my $e (@$v) { if ($i >= 200) { kestrel_rec($kind, $depth + 1, '...', ($c - $i) . ' more'); last; } kestrel_value($kind, $depth + 1, "[$i]", $e, $seen); $i++; } } elsif ($type eq 'HASH') { my @k = sort keys %$v; my $c = @k; kestrel_rec($kind, $depth, $name, "${pre}HASH($c)"); my $i = 0; for my $k (@k) { if ($i >= 200) { kestrel_rec($kind, $depth + 1, '...', ($c - $i) . ' more'); last; } kestrel_value($kind, $depth + 1, "{$k}", $v->{$k}, $seen); $i++; } } elsif ($type eq 'SCALAR' || $type eq 'REF' || $type eq 'LVALUE' || $type eq 'VSTRING') { kestrel_rec($kind, $depth, $name, $show); kestrel_value($kind, $depth + 1, '$', $$v, $seen); } else { kestrel_rec($kind, $depth, $name, $show); } }
sub kestrel_top { my ($kind, $name, $ref) = @_; my $s = substr($name, 0, 1); if ($s eq '@') { my $c = @$ref; kestrel_rec($kind, 0, $name, "($c)"); my $i = 0; for my $e (@$ref) { if ($i >= 200) { kestrel_rec($kind, 1, '...', ($c - $i) . ' more'); last; } kestrel_value($kind, 1, "[$i]", $e, {}); $i++; } } elsif ($s eq '%') { my @k = sort keys %$ref; my $c = @k; kestrel_rec($kind, 0, $name, "($c)"); my $i = 0; for my $k (@k) { if ($i >= 200) { kestrel_rec($kind, 1, '...', ($c - $i) . ' more'); last; } kestrel_value($kind, 1, "{$k}", $ref->{$k}, {}); $i++; } } else { kestrel_value($kind, 0, $name, $$ref, {}); } }
sub kestrel_watch_one { my $expr = shift; require Scalar::Util; my @v = eval "package $DB::package; no strict; $expr"; if ($@) { my $e = $@; $e =~ s/\s+$//; kestrel_rec('watch', 0, $expr, $e); return; } if (@v == 1) { kestrel_value('watch', 0, $expr, $v[0], {}); } else { kestrel_top('watch', '@' . $expr, \@v); } }
sub kestrel_cond { for my $c (@_) { my $r = eval "package $DB::package; no strict; $c"; if ($r) { kestrel_rec('cond', 1); return; } } kestrel_rec('cond', 0); }
sub kestrel_urg { my $i = 0; while (my @c = caller($i++)) { return if $c[3] eq 'DB::DB'; } $DB::signal = 1; return; }
sub kestrel_interruptible { kestrel_rec('interruptible', (ref($SIG{URG}) eq 'CODE' && $SIG{URG} == \&DB::kestrel_urg) ? 1 : 0); }
if (!defined($SIG{URG}) || $SIG{URG} eq '' || $SIG{URG} eq 'DEFAULT') { eval { require POSIX; POSIX::sigaction(POSIX::SIGURG(), POSIX::SigAction->new(\&DB::kestrel_urg, POSIX::SigSet->new, POSIX::SA_RESTART())); }; }
sub kestrel_snap { my $want = shift || 0; local ($@, $!, $^E, $,, $/, $\); require Scalar::Util; my $d = 0; $d++ while (caller($d))[3] ne 'DB::DB' && defined((caller($d))[3]); my @f; for (my $k = $d; $k < $d + 1000; $k++) { my @c = caller($k); last unless @c; my @up = caller($k + 1); push @f, [(@up ? $up[3] : 'main'), $c[1], $c[2]]; } kestrel_rec('snap'); for my $f (@f) { kestrel_rec('frame', @$f); } $want = 0 if $want > $#f; my $ok = eval { require PadWalker; 1 }; if (!$ok) { kestrel_rec('nolocals', 'Locals need the Perl module PadWalker (Debian package libpadwalker-perl), which this perl cannot load.'); } else { my $h = eval { PadWalker::peek_my($d + $want) } || {}; for my $n (sort keys %$h) { kestrel_top('local', $n, $h->{$n}); } } for my $w (@DB::kestrel_watches) { kestrel_watch_one($w); } kestrel_interruptible(); kestrel_rec('end'); }
kestrel_rec('pid', $$);
kestrel_interruptible();
1;
)PERL";

// perl -d runs this (PERL5DB) in place of its plain "require 'perl5db.pl'". The debugger's
// channel is the descriptor %FD% that perl inherits from the IDE, a socket no other process
// can reach; it is taken only when it is that very socket (%INO%): a program the debugged one
// starts with perl -d inherits the variable, not the socket, and runs without a debugger.
// perl5db.pl starts on the null device (TTY), so that its greeting goes nowhere, and is then
// given the channel. The channel is closed on exec, except for the debugger's own restart
// (R), which would otherwise close it with every descriptor above $^F. A forked child's
// debugger lets go of the channel and runs on. The "hello" record tells the engine that a
// debugger (a new one after R) is on the channel.
const char *const kBootstrap = R"PERL(
BEGIN { package DB; no strict; no warnings;
my $fd = %FD%; my @s = stat("/dev/fd/$fd"); my $ch;
if (@s && -S _ && $s[1] == %INO% && open($ch, '+<&=', $fd)) {
require Fcntl; fcntl($ch, Fcntl::F_SETFD(), Fcntl::FD_CLOEXEC());
*DB::get_fork_TTY = sub { $DB::single = 0; $DB::trace = 0; $DB::signal = 0; $DB::inhibit_exit = 0; $DB::fall_off_end = 1; $DB::kestrel_keep = \&DB::DB; *DB::DB = sub { }; my $o = $DB::OUT; open(my $null, '+<', '/dev/null'); $DB::IN = $DB::OUT = $DB::LINEINFO = $null; close($o) if $o; @DB::typeahead = ('c'); return ''; };
require 'perl5db.pl';
for my $n ('restart', 'rerun') { my $o = \&{"DB::$n"}; next unless defined &$o; *{"DB::$n"} = sub { $^F = $fd if $^F < $fd; fcntl($ch, Fcntl::F_SETFD(), 0); return $o->(@_); }; }
DB::reset_IN_OUT($ch, $ch);
{ local ($\, $,) = ('', ''); print $ch "\x1fK\thello\t$$\n"; }
} else { $^P = 0; *DB::DB = sub { }; } }
)PERL";

QByteArray HexOf(const QString &strText)
{
    return strText.toUtf8().toHex();
}

} // namespace

QByteArray CDebugSupportCode::PerlString(const QString &strText)
{
    return "pack('H*','" + HexOf(strText) + "')";
}

QByteArray CDebugSupportCode::Definition(const QString &strDirectory)
{
    QByteArray code(kDefinition);
    code.replace("%DIR%", PerlString(strDirectory));
    code.replace('\n', ' ');
    return code.trimmed();
}

QByteArray CDebugSupportCode::Bootstrap(int nFd, quint64 nInode)
{
    QByteArray code(kBootstrap);
    code.replace("%FD%", QByteArray::number(nFd));
    code.replace("%INO%", QByteArray::number(nInode));
    code.replace('\n', ' ');
    return code.trimmed();
}

QByteArray CDebugSupportCode::SetBreakpoint(int nId, const QString &strFile, int nLine, const QString &strCondition)
{
    return "DB::kestrel_break(" + QByteArray::number(nId) + ", " + PerlString(strFile) + ", " + QByteArray::number(nLine)
        + ", " + PerlString(strCondition) + ")";
}

QByteArray CDebugSupportCode::ClearBreakpoint(int nId, const QString &strFile, int nActualLine)
{
    return "DB::kestrel_clear(" + QByteArray::number(nId) + ", " + PerlString(strFile) + ", "
        + QByteArray::number(nActualLine) + ")";
}

QByteArray CDebugSupportCode::SetWatches(const QStringList &expressions)
{
    QByteArray list;
    for (const QString &e : expressions) {
        if (!list.isEmpty())
            list += ", ";
        list += PerlString(e);
    }
    return "@DB::kestrel_watches = (" + list + ")";
}

QByteArray CDebugSupportCode::AnyConditionTrue(const QStringList &conditions)
{
    QByteArray list;
    for (const QString &c : conditions) {
        if (!list.isEmpty())
            list += ", ";
        list += PerlString(c);
    }
    return "DB::kestrel_cond(" + list + ")";
}

QByteArray CDebugSupportCode::Snapshot(int nFrame)
{
    return "DB::kestrel_snap(" + QByteArray::number(qMax(0, nFrame)) + ")";
}
