#!/usr/bin/perl
# Holds README.md, docs/*.md and the manual page to the tree: every name they give in code
# (a span in backticks, a code block, the manual page's option and key lists) must name
# something that exists. Checked: paths and file names, make targets, CTest names, labels and
# test cases, the program's options (as its --help prints them), the keys it binds (in tables
# headed "Key" and in the manual's CONTROLS), qualified C++ names (ns::Name) and links
# between the pages. Each claim that fails is printed as file:line: what.
# Usage: check.pl <source dir> <build dir> <ferrox program>
# Only perl-base (always installed on Debian) is used.
use strict;
use warnings;

my ($src, $build, $program) = @ARGV;
die "usage: check.pl <source dir> <build dir> <ferrox program>\n" unless defined $program;

my @problems;
sub problem { push @problems, "$_[0]:$_[1]: $_[2]" }

sub slurp {
  open(my $fh, '<', $_[0]) or die "check.pl: cannot read $_[0]: $!\n";
  local $/;
  return scalar <$fh>;
}

# Every file of the tree, relative to it, but the build trees, bin/ and git's own.
my @tree;
sub walk {
  my ($dir) = @_;
  opendir(my $dh, "$src/$dir") or return;
  for my $entry (sort readdir $dh) {
    next if $entry eq '.' || $entry eq '..';
    my $path = $dir eq '' ? $entry : "$dir/$entry";
    next if $dir eq '' && ($entry =~ /^(build|\.git$|bin$)/);
    if (-d "$src/$path" && !-l "$src/$path") { walk($path) } else { push @tree, $path }
  }
}
walk('');
my %basenames = map { (m{([^/]+)$})[0] => 1 } @tree;
my @sources = grep { m{^(src|tests|bench|tools)/.*\.(h|cpp)$} } @tree;
# The engine's headers, for its names (irr::video::IVideoDriver::addTexture).
my ($engine_include) = slurp("$build/CMakeCache.txt") =~ /^IRRLICHT_INCLUDE_DIR:\w+=(.*)$/m;
my @engine_headers = defined $engine_include ? glob("$engine_include/*.h") : ();
my %text_of;
sub text_of { $text_of{$_[0]} //= slurp($_[0] =~ m{^/} ? $_[0] : "$src/$_[0]") }

# The make targets: every rule's name in the Makefile.
my %targets;
for (split /\n/, slurp("$src/Makefile")) {
  next if /^\s/ || /^[A-Z_]+\s*[?:+]?=/;
  if (/^([\w.\/ -]+?)\s*:(?!=)/) { $targets{$_} = 1 for split ' ', $1 }
}

# The CTest names and labels, as the build tree has them.
my (@tests, %labels);
for (`ctest --test-dir '$build' -N 2>/dev/null`) { push @tests, $1 if /Test\s+#\d+: (\S+)/ }
for (`ctest --test-dir '$build' --print-labels 2>/dev/null`) { $labels{$1} = 1 if /^\s+(\S+)$/ }
die "check.pl: no tests in $build\n" unless @tests;
my %test_prefixes = map { (split /\./)[0] => 1 } @tests;

# The program's options, as its usage lists them.
my $usage = `'$program' --help`;
die "check.pl: '$program --help' failed\n" if $? != 0;
my (%options, %takes_value);
while ($usage =~ /(?<![\w-])(--?[A-Za-z][\w-]*)(?:[ =](?:[A-Z][A-Z_]*|<\w+>)\b)?/g) {
  $options{$1} = 1;
  $takes_value{$1} = 1 if length($&) > length($1);
}
# An option the usage lists must be one the program takes: with --version after it, the
# program prints its version and ends, or refuses the option with exit code 2.
my %accepted;
sub accepted {
  my ($option) = @_;
  return 1 if $takes_value{$option};
  $accepted{$option} //= system("'$program' '$option' --version >/dev/null 2>&1") == 0;
  return $accepted{$option};
}

# The keys the program binds: the engine's key codes that its code names.
my %keys;
for my $file (grep { m{^src/} } @sources) {
  for my $code (text_of($file) =~ /\bKEY_(\w+)/g) {
    next if $code eq 'KEY_CODES_COUNT';
    if ($code =~ /^KEY_(\w)$/) { $keys{$1} = 1; next }
    $keys{ucfirst lc $code} = 1;
    $keys{Enter} = 1 if $code eq 'RETURN';
  }
}

# A glob of the tree's paths: `*` any characters but '/', a placeholder (<...>, …, N) any.
sub glob_re {
  my ($pattern) = @_;
  my $re = '';
  for my $part (split /(<[^>]*>|…|\*|\.\.\.)/, $pattern) {
    next if $part eq '';
    $re .= $part =~ /^(<.*>|…|\*|\.\.\.)$/ ? '[^/]*' : quotemeta $part;
  }
  return qr/^$re$/;
}
sub path_exists {
  my ($path) = @_;
  $path =~ s{/+$}{};
  return -e "$src/$path" unless $path =~ /<|…|\*|\.\.\./;
  my $re = glob_re($path);
  return scalar grep { $_ =~ $re || m{^(.*?)/} && dir_match($re, $_) } @tree;
}
sub dir_match {  # a directory of the tree matches
  my ($re, $file) = @_;
  my @parts = split m{/}, $file;
  pop @parts;
  while (@parts) { return 1 if join('/', @parts) =~ $re; pop @parts }
  return 0;
}

# What CMake builds: executables and libraries, for the paths in build trees.
my %built;
for my $file (grep { m{(^|/)CMakeLists\.txt$|\.cmake$} } @tree) {
  $built{$_} = 1 for text_of($file) =~ /\b\w+\(\s*(ferrox_\w+)/g;
}

my %top = map { (m{^([^/]+)})[0] => 1 } @tree;
$top{$_} = 1 for qw(bin build);
my $extensions = qr/\.(md|cpp|h|sh|cmake|txt|tsv|png|dot|gp|pl|in|json|desktop|jpg|3ds|bmp)$/;

sub check_path {
  my ($file, $line, $token) = @_;
  $token =~ s/^\.\.\///;  # the program's own ../media, from bin/
  $token =~ s/^\.\///;
  my ($first) = $token =~ m{^([^/]+)};
  if ($first =~ /^(build[\w-]*|bin)$/) {  # a build product: CMake must make it
    my ($name) = $token =~ m{([^/]+)$};
    $name //= '';
    $name =~ s/^lib(.*)\.so$/$1/;
    problem($file, $line, "`$token`: nothing builds $name")
      if $name =~ /^ferrox_\w+$/ && !$built{$name};
    return;
  }
  # A file name alone names a source; the tools' outputs (images, meshes) go by path.
  return unless $top{$first} || $token !~ m{/} && $token =~ $extensions && $token !~ /\.(png|jpg|3ds|bmp)$/;
  return if -e "$src/$token";
  if ($token !~ m{/}) {  # a file name alone: somewhere in the tree
    my $re = glob_re($token);
    problem($file, $line, "`$token`: no such file in the tree")
      unless grep { $_ =~ $re } keys %basenames;
    return;
  }
  problem($file, $line, "`$token`: no such path in the tree") unless path_exists($token);
}

sub test_matches {  # a CTest name or glob matches a test
  my $re = glob_re($_[0]);
  return scalar grep { $_ =~ $re } @tests;
}

sub check_test_name {
  my ($file, $line, $token) = @_;
  my ($first) = $token =~ /^([^.]+)\./ or return;
  return unless $test_prefixes{$first} || $first =~ /^[A-Z][a-z]\w*$/ && $token =~ /^\w+\.(\*|\w+)$/;
  problem($file, $line, "`$token`: no such test") unless test_matches($token);
}

sub check_qualified {
  my ($file, $line, $name) = @_;
  my @parts = split /::/, $name;
  return if $parts[0] =~ /^(irr|std|gtest|testing|benchmark)$/ || @parts < 2;
  for my $i (0 .. $#parts - 1) {
    my ($scope, $member) = @parts[$i, $i + 1];
    my $found = grep {
      my $text = text_of($_);
      $text =~ /\b\Q$scope\E::\Q$member\E\b/
        || $text =~ /\b(?:namespace|class|struct|enum(?:\s+class)?)\s+\Q$scope\E\b/
        && $text =~ /\b\Q$member\E\b/
    } @sources, @engine_headers;
    if (!$found) { problem($file, $line, "`$name`: no $member in $scope"); last }
  }
}

sub check_make {
  my ($file, $line, $code) = @_;
  while ($code =~ /(?:^|[\s;&|(])make((?:\s+[A-Z_]+=\S*)*)\s+([a-z][\w-]*)/g) {
    problem($file, $line, "`make $2`: no such target in the Makefile") unless $targets{$2};
  }
}

sub check_ctest_filters {
  my ($file, $line, $code) = @_;
  if ($code =~ /\bctest\b/) {
    while ($code =~ /\s-R\s+'?([^'\s]+)'?/g) {
      my $re = $1;
      problem($file, $line, "`ctest -R $re`: matches no test") unless grep { /$re/ } @tests;
    }
    while ($code =~ /\s-L\s+'?([^'\s]+)'?/g) {
      my $re = $1;
      problem($file, $line, "`ctest -L $re`: no such label")
        if grep { !$labels{$_} } split /\|/, $re;
    }
  }
  while ($code =~ /--gtest_filter='?([^'\s]+)'?/g) {
    my $filter = $1;
    problem($file, $line, "`--gtest_filter=$filter`: matches no test")
      unless grep { test_matches($_) } split /:/, $filter;
  }
}

sub check_options {  # the options on a command line of the program, or an option alone
  my ($file, $line, $code) = @_;
  my @words;
  if ($code =~ /^(--[A-Za-z][\w-]*)(\s+\S+)?$/) {
    @words = ($1);
  } else {
    for my $command (split /&&|\|\||;|\|/, $code) {
      next unless $command =~ m{^\s*(?:\S+=\S+\s+|sudo\s+|exec\s+)*(?:\S*/)?ferrox\s+(.*)$};
      push @words, grep { /^--?[A-Za-z]/ } split ' ', $1;
    }
  }
  for my $word (@words) {
    $word =~ s/=.*//;
    problem($file, $line, "`$word`: the program has no such option")
      unless $options{$word} && accepted($word);
  }
}

sub check_key_cell {
  my ($file, $line, $cell) = @_;
  for my $key (split m{\s*(?:/|,|\bor\b|\band\b)\s*}, $cell) {
    $key =~ s/^\s+|\s+$//g;
    next unless $key =~ /^([A-Z0-9]|F\d+|[A-Z][a-z]+)$/;
    problem($file, $line, "key $key: the game binds no such key") unless $keys{$key};
  }
}

# Checks one piece of code: a span in backticks or a line of a code block.
sub check_code {
  my ($file, $line, $code) = @_;
  $code =~ s/^\s+|\s+$//g;
  check_make($file, $line, $code);
  check_ctest_filters($file, $line, $code);
  check_options($file, $line, $code);
  check_qualified($file, $line, $1) while $code =~ /\b((?:[A-Za-z_]\w*::)+~?[A-Za-z_]\w*)/g;
  for my $token (split /\s+/, $code) {
    $token =~ s/^['"(]+|['"),;:]+$//g;
    $token =~ s/\(\)$//;
    next if $token eq '' || $token =~ m{^(/|~|\$|-|https?:|\w+=)} || $token =~ /::/;
    if ($token =~ /^([\w<>*-]+)(\.[\w<>*-]+)+$/ && ($test_prefixes{$1} || $1 =~ /^[A-Z][a-z]\w*$/)
        && !-e "$src/$token" && $token !~ /\.(h|cpp|md|sh|pl|cmake|txt|tsv|json|dot|gp|png|in)$/) {
      check_test_name($file, $line, $token);
    } elsif ($token =~ m{/} || $token =~ $extensions || $token =~ /^\.[\w-]+$/) {
      check_path($file, $line, $token);
    }
  }
}

sub check_markdown {
  my ($file) = @_;
  my ($dir) = $file =~ m{^(.*)/} ? $1 : '.';
  my ($fenced, $key_column, $case_column) = (0, -1, -1);
  my $n = 0;
  for my $text (split /\n/, slurp("$src/$file")) {
    ++$n;
    if ($text =~ /^\s*```/) { $fenced = !$fenced; next }
    if ($fenced || $text =~ /^    \S/) { check_code($file, $n, $text); next }
    # Tables: the column headed "Key" names keys; the one headed "Case", test cases.
    if ($text =~ /^\|/) {
      my @cells = split /\s*\|\s*/, $text;
      shift @cells;
      if ($text =~ /^\|\s*:?-/) {
      } elsif (grep { $_ eq 'Key' || $_ eq 'Case' } @cells) {
        ($key_column, $case_column) = (-1, -1);
        for my $i (0 .. $#cells) {
          $key_column = $i if $cells[$i] eq 'Key';
          $case_column = $i if $cells[$i] eq 'Case';
        }
      } else {
        check_key_cell($file, $n, $cells[$key_column]) if $key_column >= 0 && $cells[$key_column];
        if ($case_column >= 0 && ($cells[$case_column] // '') =~ /^`([\w-]+)`$/) {
          problem($file, $n, "case `$1`: no test e2e.$1 or the like") unless test_matches("*.$1");
        }
      }
    } else {
      ($key_column, $case_column) = (-1, -1);
    }
    my $prose = $text;
    while ($prose =~ s/(`+)(.+?)\1//) { check_code($file, $n, $2) }
    while ($prose =~ /\]\(([^)\s#]+)(?:#[^)]*)?\)/g) {  # links to the tree
      my $target = $1;
      next if $target =~ /^[a-z]+:/;
      my $path = $dir eq '.' ? $target : "$dir/$target";
      1 while $path =~ s{[^/]+/\.\./}{};
      problem($file, $n, "link to $target: no such file") unless -e "$src/$path";
    }
  }
}

sub check_manual {
  my ($file) = @_;
  my $section = '';
  my $n = 0;
  for my $text (split /\n/, slurp("$src/$file")) {
    ++$n;
    $section = $1 if $text =~ /^\.S[HS]\s+"?([^"]+)"?/;
    while ($text =~ /((?:\\-){1,2}[A-Za-z][\w\\-]*)/g) {
      (my $word = $1) =~ s/\\-/-/g;
      next unless $word =~ /^--/;  # a minus alone: a number or a dash in the text
      problem($file, $n, "$word: the program has no such option")
        unless $options{$word} && accepted($word);
    }
    if ($section eq 'CONTROLS' && $text =~ /^\.BR?\s+(.*)$/) {
      (my $cell = $1) =~ s/"//g;
      check_key_cell($file, $n, $cell);
    }
    check_path($file, $n, $1) if $text =~ m{^\.IR?\s+([\w.][\w./-]*/[\w./-]*)};
  }
}

opendir(my $docs, "$src/docs") or die "check.pl: no docs/ in $src\n";
my @pages = ('README.md', map { "docs/$_" } sort grep { /\.md$/ } readdir $docs);
check_markdown($_) for @pages;
check_manual('packaging/ferrox.6.in');

if (@problems) {
  print "$_\n" for @problems;
  print scalar(@problems) . " claims name what the tree does not have\n";
  exit 1;
}
print "checked: " . join(' ', @pages, 'packaging/ferrox.6.in') . "\n";
