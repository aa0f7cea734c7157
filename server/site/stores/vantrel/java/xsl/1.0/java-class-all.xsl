<?xml version="1.0" encoding="UTF-8"?>
<!-- A class's reference page over its package's data file: declaration, supertypes, nested
     types, fields, constructors and methods. Each method has the anchor the client links to
     (name and signature, blanks as "+"). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../../../../../pages/layout.xsl"/>
  <xsl:param name="fullyqualified" select="''"/>

  <xsl:variable name="package" select="/package/@name"/>
  <xsl:variable name="technology" select="/package/@technology"/>
  <xsl:variable name="type"
      select="/package/class[concat(packageName, '.', translate(className, '$', '.')) = $fullyqualified][1]"/>
  <xsl:variable name="dotted" select="translate($type/className, '$', '.')"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title">
        <xsl:choose>
          <xsl:when test="$type"><xsl:value-of select="concat($type/@kind, ' ', $dotted)"/></xsl:when>
          <xsl:otherwise>No such class</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="section" select="'Java'"/>
      <xsl:with-param name="lead" select="concat('Package ', $package, ', module ', $technology)"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:choose>
      <xsl:when test="not($type)">
        <p class="notice">The package <code><xsl:value-of select="$package"/></code> has no class
          <code><xsl:value-of select="$fullyqualified"/></code>.</p>
      </xsl:when>
      <xsl:otherwise>
        <xsl:apply-templates select="$type"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="class">
    <p><a>
      <xsl:attribute name="href">
        <xsl:call-template name="package-page-url">
          <xsl:with-param name="technology" select="$technology"/>
          <xsl:with-param name="package" select="$package"/>
          <xsl:with-param name="docroot" select="''"/>
        </xsl:call-template>
      </xsl:attribute>
      All types of <xsl:value-of select="$package"/></a></p>
    <xsl:if test="@deprecated"><p class="notice">Deprecated.</p></xsl:if>
    <div class="declaration">
      <xsl:value-of select="concat(modifiers, ' ', @kind, ' ', $dotted, typeParameters)"/>
      <xsl:if test="superclass and superclass != 'java.lang.Object'">
        <xsl:value-of select="concat('&#10;    extends ', superclass)"/>
      </xsl:if>
      <xsl:if test="interface">
        <xsl:choose>
          <xsl:when test="@kind = 'interface'">&#10;    extends </xsl:when>
          <xsl:otherwise>&#10;    implements </xsl:otherwise>
        </xsl:choose>
        <xsl:for-each select="interface">
          <xsl:if test="position() &gt; 1">, </xsl:if>
          <xsl:value-of select="."/>
        </xsl:for-each>
      </xsl:if>
    </div>

    <xsl:if test="ancestor">
      <h2>Superclasses</h2>
      <p><code>
        <xsl:for-each select="ancestor">
          <xsl:sort select="position()" data-type="number" order="descending"/>
          <xsl:value-of select="."/> → </xsl:for-each>
        <xsl:value-of select="concat($package, '.', $dotted)"/>
      </code></p>
    </xsl:if>

    <xsl:variable name="prefix" select="concat(className, '$')"/>
    <xsl:variable name="nested"
        select="/package/class[starts-with(className, $prefix) and not(contains(substring-after(className, $prefix), '$'))]"/>
    <xsl:if test="$nested">
      <h2>Nested types</h2>
      <ul class="plain">
        <xsl:for-each select="$nested">
          <li><a>
            <xsl:attribute name="href">
              <xsl:call-template name="class-page-url">
                <xsl:with-param name="technology" select="$technology"/>
                <xsl:with-param name="package" select="$package"/>
                <xsl:with-param name="class" select="translate(className, '$', '.')"/>
              </xsl:call-template>
            </xsl:attribute>
            <code><xsl:value-of select="translate(className, '$', '.')"/></code></a>
            <xsl:text> </xsl:text><span class="badge"><xsl:value-of select="@kind"/></span></li>
        </xsl:for-each>
      </ul>
    </xsl:if>

    <xsl:if test="field">
      <h2>Fields</h2>
      <table>
        <tr><th>Modifier and type</th><th>Field</th></tr>
        <xsl:for-each select="field">
          <tr id="{fieldName}">
            <td class="type"><code><xsl:value-of select="concat(modifiers, ' ', type)"/></code></td>
            <td><code><xsl:if test="@deprecated"><xsl:attribute name="class">deprecated</xsl:attribute></xsl:if><xsl:value-of select="fieldName"/></code></td>
          </tr>
        </xsl:for-each>
      </table>
    </xsl:if>

    <xsl:if test="constructor">
      <h2>Constructors</h2>
      <table>
        <tr><th>Modifier</th><th>Constructor</th></tr>
        <xsl:apply-templates select="constructor"/>
      </table>
    </xsl:if>

    <xsl:if test="method">
      <h2>Methods</h2>
      <table>
        <tr><th>Modifier and type</th><th>Method</th></tr>
        <xsl:apply-templates select="method"/>
      </table>
    </xsl:if>
  </xsl:template>

  <xsl:template match="method | constructor">
    <tr id="{concat(methodName, translate(signature, ' ', '+'))}">
      <td class="type"><code><xsl:value-of select="modifiers"/>
        <xsl:if test="string(typeParameters)"><xsl:value-of select="concat(' ', typeParameters)"/></xsl:if>
        <xsl:if test="self::method"><xsl:value-of select="concat(' ', returnType)"/></xsl:if></code></td>
      <td>
        <code>
          <xsl:if test="@deprecated"><xsl:attribute name="class">deprecated</xsl:attribute></xsl:if>
          <b><xsl:value-of select="methodName"/></b>(<xsl:value-of select="parameters"/>)
          <xsl:if test="throws">
            throws <xsl:for-each select="throws"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="."/></xsl:for-each>
          </xsl:if>
        </code>
      </td>
    </tr>
  </xsl:template>
</xsl:stylesheet>
