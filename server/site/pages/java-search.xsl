<?xml version="1.0" encoding="UTF-8"?>
<!-- The Java search page: a form, and the combined answers of every technology when it was sent. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:variable name="kind" select="/searchresults/@kind"/>
  <xsl:variable name="kinds" select="'Package|Class/Interface|Method|Extends|Implements|'"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Java search'"/>
      <xsl:with-param name="section" select="'Java'"/>
      <xsl:with-param name="lead" select="'Find packages, classes and methods across every technology; the search box above the tree does the same.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <form class="search" action="/vantrel/javatab/search.jsp" method="get">
      <select name="kind" aria-label="Search for">
        <xsl:call-template name="kind-option"><xsl:with-param name="value" select="0"/><xsl:with-param name="text" select="'Package'"/></xsl:call-template>
        <xsl:call-template name="kind-option"><xsl:with-param name="value" select="1"/><xsl:with-param name="text" select="'Class/Interface'"/></xsl:call-template>
        <xsl:call-template name="kind-option"><xsl:with-param name="value" select="2"/><xsl:with-param name="text" select="'Method'"/></xsl:call-template>
        <xsl:call-template name="kind-option"><xsl:with-param name="value" select="3"/><xsl:with-param name="text" select="'Extends'"/></xsl:call-template>
        <xsl:call-template name="kind-option"><xsl:with-param name="value" select="4"/><xsl:with-param name="text" select="'Implements'"/></xsl:call-template>
      </select>
      <xsl:text> </xsl:text>
      <input type="text" name="q" value="{/searchresults/@q}" aria-label="Search text"/>
      <xsl:text> </xsl:text>
      <button type="submit">Search</button>
    </form>
    <xsl:choose>
      <xsl:when test="not(string(/searchresults/@q))">
        <h2>How to search</h2>
        <ul>
          <li><b>Package</b>: packages whose names contain the text, such as <code>concurrent</code>.</li>
          <li><b>Class/Interface</b>: classes whose names contain the text, such as <code>Vector</code>, or a qualified name such as <code>java.util.Map.Entry</code>.</li>
          <li><b>Method</b>: methods whose names contain the text, such as <code>substring</code>.</li>
          <li><b>Extends</b>: classes below a class, such as <code>AbstractList</code>.</li>
          <li><b>Implements</b>: classes that implement an interface, such as <code>Runnable</code>.</li>
        </ul>
        <p class="muted">Letter case does not matter. Results appear under "Search Results" in the tree.</p>
      </xsl:when>
      <xsl:when test="not(/searchresults/technology)">
        <p class="notice">Nothing found for "<xsl:value-of select="/searchresults/@q"/>".</p>
      </xsl:when>
      <xsl:otherwise>
        <p class="muted"><xsl:value-of select="count(/searchresults/technology/*)"/> results for
          "<xsl:value-of select="/searchresults/@q"/>".</p>
        <xsl:apply-templates select="/searchresults/technology"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="kind-option">
    <xsl:param name="value"/>
    <xsl:param name="text"/>
    <option value="{$value}">
      <xsl:if test="$kind = $value"><xsl:attribute name="selected">selected</xsl:attribute></xsl:if>
      <xsl:value-of select="$text"/>
    </option>
  </xsl:template>

  <xsl:template match="technology">
    <h2><xsl:value-of select="@display"/> <span class="count"> (<xsl:value-of select="count(*)"/>)</span></h2>
    <xsl:if test="@truncated">
      <p class="notice">Only the closest matches are shown; make the search more specific to see the rest.</p>
    </xsl:if>
    <ul class="plain">
      <xsl:apply-templates select="*"/>
    </ul>
  </xsl:template>

  <xsl:template match="package">
    <li>
      <a>
        <xsl:attribute name="href">
          <xsl:call-template name="package-page-url">
            <xsl:with-param name="technology" select="../@name"/>
            <xsl:with-param name="package" select="packageName"/>
            <xsl:with-param name="docroot" select="../@docroot"/>
          </xsl:call-template>
        </xsl:attribute>
        <code><xsl:value-of select="packageName"/></code>
      </a>
    </li>
  </xsl:template>

  <xsl:template match="class">
    <li>
      <a>
        <xsl:attribute name="href">
          <xsl:call-template name="class-page-url">
            <xsl:with-param name="technology" select="../@name"/>
            <xsl:with-param name="package" select="packageName"/>
            <xsl:with-param name="class" select="className"/>
          </xsl:call-template>
          <xsl:if test="method">
            <xsl:value-of select="concat('#', method/methodName, translate(method/signature, ' ', '+'))"/>
          </xsl:if>
        </xsl:attribute>
        <code>
          <xsl:value-of select="concat(packageName, '.', className)"/>
          <xsl:if test="method"><xsl:value-of select="concat('.', method/methodName, method/signature)"/></xsl:if>
        </code>
      </a>
      <xsl:text> </xsl:text><span class="badge"><xsl:value-of select="kind"/></span>
    </li>
  </xsl:template>
</xsl:stylesheet>
